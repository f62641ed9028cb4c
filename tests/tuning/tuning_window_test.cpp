// Tuning in the window against the virtual amplifier over a pty: a measurement
// imported (and a bad one refused), matched, applied as one step and undone, and
// A/B switched; what reaches the amplifier on the wire each time.

#include "support/files.h"
#include "support/qstring_print.h"
#include "support/window.h"

#include "editing/edit_history.h"
#include "tuning/match_dialog.h"
#include "tuning/tuning_panel.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include <cmath>

using namespace talvex;
using namespace talvex::testing;

namespace {

constexpr int kHigh = 1;

struct TuningWindow : WindowTest {
    void SetUp() override
    {
        makeWindow();
        connectAndRead();
        control<QAbstractButton>("btn_op0_eq")->click(); // the High page
    }
    void trigger(const char* action) { control<QAction>(action)->trigger(); }
    // A REW text export of a speaker with a 6 dB hump at 100 Hz and a 4 dB one at 2 kHz.
    QString measurementFile()
    {
        std::string text = "* Measurement data measured by REW\n* Freq(Hz) SPL(dB) Phase(degrees)\n";
        for (double f = 20; f < 20000; f *= std::pow(2.0, 1.0 / 24)) {
            const auto hump = [f](double at, double db) { return db * std::exp(-0.5 * std::pow(std::log2(f / at) * 3, 2)); };
            text += std::to_string(f) + " " + std::to_string(80 + hump(100, 6) + hump(2000, 4)) + " 0\n";
        }
        writeFile(path("high.txt"), text);
        return path("high.txt");
    }
    std::vector<int> highBands() const
    {
        return {amp.image().begin() + bandRecord(kHigh, 0), amp.image().begin() + bandRecord(kHigh, 10)};
    }
    // Writes since `from`, as (command, sub-index).
    std::vector<std::pair<int, int>> writesSince(std::size_t from) const
    {
        std::vector<std::pair<int, int>> out;
        for (std::size_t i = from; i < frames.size(); ++i)
            if (frames[i].size() > 7 && frames[i][4] == frame::kOpWrite)
                out.emplace_back(frames[i][6], frames[i][7]);
        return out;
    }
    bool ampHoldsHighBands(const std::vector<int>& bands)
    {
        return QTest::qWaitFor([&] { return highBands() == bands; }, 8000);
    }
};

TEST_F(TuningWindow, ImportMatchApplyUndoOnTheWire)
{
    TuningPanel& tuning = part<TuningPanel>();
    // A decimal comma is refused with its line; nothing is kept.
    writeFile(path("comma.txt"), "* x\n20 70,5\n");
    fileDialogs.answers = {path("comma.txt"), measurementFile()};
    trigger("actionImportMeasurement");
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().contains("Line 2: \"70,5\" has a decimal comma")) << prompts.messages.last().toStdString();
    EXPECT_FALSE(tuning.hasMeasurement(kHigh));
    trigger("actionImportMeasurement");
    ASSERT_TRUE(tuning.hasMeasurement(kHigh));
    EXPECT_FALSE(tuning.overlays()[kHigh].measured.empty());

    // The dialog proposes; nothing is sent before Apply.
    const std::vector<int> before = highBands();
    const std::size_t sent = frames.size();
    trigger("actionMatchTarget");
    MatchDialog* dialog = tuning.matchDialog();
    ASSERT_TRUE(dialog->isVisible());
    ASSERT_TRUE(dialog->proposal().has_value()) << control<QLabel>("lblMatchResult")->text().toStdString();
    EXPECT_LT(dialog->proposal()->rmsAfter, dialog->proposal()->rmsBefore / 2);
    EXPECT_TRUE(control<QLabel>("lblMatchResult")->text().contains("before"));
    EXPECT_FALSE(tuning.overlays()[kHigh].proposal.empty());
    QTest::qWait(800);
    EXPECT_TRUE(writesSince(sent).empty());

    // Apply: one step; only High's band chunks go out (command 1, sub-index 3..12).
    control<QPushButton>("btnMatchApply")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(tuning.overlays()[kHigh].proposal.empty());
    EXPECT_EQ(part<EditHistory>().stack().count(), 1);
    EXPECT_EQ(part<EditHistory>().undoAction()->text(), "Undo Match to target (High)");
    std::vector<int> matched(model().image.begin() + bandRecord(kHigh, 0),
                             model().image.begin() + bandRecord(kHigh, 10));
    ASSERT_NE(matched, before);
    ASSERT_TRUE(ampHoldsHighBands(matched));
    for (const auto& [command, sub] : writesSince(sent)) {
        EXPECT_EQ(command, kHigh);
        EXPECT_TRUE(sub >= 3 && sub <= 12) << sub;
    }

    // Undo takes all ten bands back, on the wire too; ten writes in a row keep the link.
    part<EditHistory>().undoAction()->trigger();
    EXPECT_TRUE(ampHoldsHighBands(before));
    EXPECT_TRUE(idleConnected());

    // Cancel changes nothing.
    trigger("actionMatchTarget");
    control<QPushButton>("btnMatchCancel")->click();
    EXPECT_TRUE(tuning.overlays()[kHigh].proposal.empty());
    EXPECT_EQ(part<EditHistory>().stack().index(), 0);
}

TEST_F(TuningWindow, AbSwitchWritesOnlyWhatDiffersAndUndoes)
{
    TuningPanel& tuning = part<TuningPanel>();
    trigger("actionCopyAToB");
    trigger("actionSwitchAB"); // to B, equal to A: nothing to write
    EXPECT_EQ(tuning.activeSlot(kHigh), 1);
    EXPECT_EQ(part<EditHistory>().stack().count(), 0);
    // B gets band 5 at +3 dB.
    core->editor.apply(ParameterEdit("EQ 5 (High)").set16(bandRecord(kHigh, 4) + kBandGain, 135));
    const std::vector<int> b(model().image.begin() + bandRecord(kHigh, 0),
                             model().image.begin() + bandRecord(kHigh, 10));
    ASSERT_TRUE(ampHoldsHighBands(b));

    const std::size_t sent = frames.size();
    trigger("actionSwitchAB"); // back to A: one entry differs
    EXPECT_EQ(tuning.activeSlot(kHigh), 0);
    EXPECT_EQ(model().image[bandRecord(kHigh, 4) + kBandGain], 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp.image()[bandRecord(kHigh, 4) + kBandGain] == 120; }, 3000));
    EXPECT_EQ(writesSince(sent), (std::vector<std::pair<int, int>>{{kHigh, 3 + 4}}));

    part<EditHistory>().undoAction()->trigger(); // B again
    EXPECT_EQ(tuning.activeSlot(kHigh), 1);
    EXPECT_TRUE(ampHoldsHighBands(b));
    EXPECT_EQ(control<QAction>("actionSwitchAB")->text(), "Switch to A");
}

} // namespace
