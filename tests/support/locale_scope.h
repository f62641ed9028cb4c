#pragma once
// Switches the C library's locale of this process for one test and back. The
// locales are installed by the package list (locales-all) on Debian; a machine without
// them fails the test rather than passing it in the "C" locale unnoticed.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

namespace talvex::testing {

class LocaleScope {
public:
    explicit LocaleScope(const char* name)
    {
        const char* old = std::setlocale(LC_ALL, nullptr);
        previous_ = old ? old : "C";
        active_ = std::setlocale(LC_ALL, name) != nullptr;
        if (!active_) {
            ADD_FAILURE() << "locale " << name << " is not installed (Debian package locales-all)";
            return;
        }
        // The locale must really move the decimal separator, or the test proves nothing.
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        EXPECT_STREQ(probe, "1,5") << "locale " << name << " does not use a decimal comma";
    }
    ~LocaleScope() { std::setlocale(LC_ALL, previous_.c_str()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

    bool active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

// glibc names its locales de_DE.UTF-8; the Windows C runtimes (msvcrt and the
// UCRT alike) know them as Language_Country.CodePage.
#ifdef _WIN32
inline constexpr const char* kCommaLocales[] = {"German_Germany.1252", "French_France.1252"};
#else
inline constexpr const char* kCommaLocales[] = {"de_DE.UTF-8", "fr_FR.UTF-8"};
#endif

} // namespace talvex::testing
