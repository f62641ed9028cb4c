#include "link/traffic_log.h"

#include "link/frame_packaging.h"
#include "link/hex_text.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

namespace talvex {

namespace {

std::int64_t steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void appendNumber(std::string& text, std::int64_t value, int width = 0)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto n = end - digits; n < width; ++n)
        text += '0';
    text.append(digits, end);
}

// "2026-12-08 08:05:07 UTC"
std::string utcNowText()
{
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    std::string text;
    appendNumber(text, int(date.year()), 4);
    text += '-';
    appendNumber(text, unsigned(date.month()), 2);
    text += '-';
    appendNumber(text, unsigned(date.day()), 2);
    text += ' ';
    appendNumber(text, time.hours().count(), 2);
    text += ':';
    appendNumber(text, time.minutes().count(), 2);
    text += ':';
    appendNumber(text, time.seconds().count(), 2);
    text += " UTC";
    return text;
}

constexpr std::size_t kTimeWidth = 8;

} // namespace

TrafficLog::TrafficLog() : TrafficLog(steadyMilliseconds) {}

TrafficLog::TrafficLog(Clock clock) : clock_(std::move(clock)), start_(clock_()) {}

TrafficLog::~TrafficLog()
{
    if (file_)
        std::fclose(file_);
}

bool TrafficLog::open(const std::filesystem::path& path, std::string_view program)
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    error_.clear();
    if (path.empty()) {
        error_ = "no file name given";
        return false;
    }
    errno = 0;
#ifdef _WIN32
    file_ = _wfopen(path.c_str(), L"ab"); // the wide name: no code page in between
#else
    file_ = std::fopen(path.c_str(), "ab");
#endif
    if (!file_) {
        error_ = errno != 0 ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    std::string first = "log started, ";
    first += program;
    first += ", ";
    first += utcNowText();
    event("-", first);
    return true;
}

void TrafficLog::write(std::string_view direction, std::string_view transport, std::string_view text)
{
    if (!file_)
        return;
    line_.clear();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, clock_() - start_).ptr;
    const auto width = std::size_t(end - digits);
    if (width < kTimeWidth)
        line_.append(kTimeWidth - width, ' ');
    line_.append(digits, end);
    line_ += ' ';
    line_ += direction;
    line_ += ' ';
    line_ += transport.empty() ? std::string_view("-") : transport;
    line_ += ' ';
    line_ += text;
    line_ += '\n';
    // A failed write (a full disk) loses the line; the editor runs on.
    std::fwrite(line_.data(), 1, line_.size(), file_);
    std::fflush(file_);
}

void TrafficLog::sent(std::string_view transport, std::span<const std::uint8_t> bytes, bool portOpen)
{
    std::string text = toHex(bytes);
    if (!portOpen)
        text += " (not sent: the port is closed)";
    write("TX", transport, text);
}

void TrafficLog::received(std::string_view transport, std::span<const std::uint8_t> frame, bool isReply)
{
    std::string text = toHex(frame);
    // A frame of the right length whose end byte or operation is wrong: it
    // reset the watchdog but went to no handler.
    if (!isReply)
        text += " (ignored)";
    write("RX", transport, text);
}

void TrafficLog::receivedLate(std::string_view transport, std::span<const std::uint8_t> frame)
{
    write("RX", transport, toHex(frame) + " (late)");
}

void TrafficLog::event(std::string_view transport, std::string_view text) { write("EV", transport, text); }

std::string TrafficTap::transportName() const
{
    if (inner_.usbActive())
        return "USB";
    return serialName_ ? serialName_() : std::string();
}

void TrafficTap::submitFrame(std::span<const std::uint8_t> frame, BusPriority priority)
{
    const bool usb = inner_.usbActive();
    const std::string name = usb ? std::string("USB") : serialName_ ? serialName_() : std::string();
    const bool portOpen = usb || !serialOpen_ || serialOpen_();
    for (auto part : frameParts(frame))
        log_.sent(name, part, portOpen);
    inner_.submitFrame(frame, priority);
}

} // namespace talvex
