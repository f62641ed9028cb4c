// The window's number texts under a desktop locale that writes a decimal comma,
// set the way a German or French session sets it: the C library's locale and
// Qt's default locale.
#include "support/window.h"

#include "support/locale_scope.h"

#include <QLocale>

using namespace talvex;
using namespace talvex::testing;

TEST_F(WindowTest, VolumeReadsWithAFullStopInEveryLocale)
{
    const QLocale previous;
    for (const char* name : kCommaLocales) {
        SCOPED_TRACE(name);
        LocaleScope locale(name);
        ASSERT_TRUE(locale.active());
        QLocale::setDefault(QLocale(QString::fromLatin1(name).section(QLatin1Char('.'), 0, 0)));
        ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));

        makeWindow(QStringList{});
        auto* volume = control<QAbstractSlider>("rztrckbr_ingain");
        volume->setValue(27);
        EXPECT_EQ(label("lbl28"), "-54.6dB");
        volume->setValue(299);
        EXPECT_EQ(label("lbl28"), "-0.2dB");
        window.reset();
    }
    QLocale::setDefault(previous);
}
