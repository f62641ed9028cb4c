// Safe editing in the window against the virtual amplifier over a pty: undo and
// redo on the wire, when the history clears, and the focus after pop-ups, bridge
// picks and view refreshes, which must never leave an entry bound by accident.

#include "support/window.h"

#include "editing/edit_history.h"
#include "editing/editing_context.h"
#include "editing/eq_page.h"

#include <QAction>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct UndoWindowTest : WindowTest {
    void makeShownWindow()
    {
        makeWindow();
        ASSERT_TRUE(showActive());
    }
    QAction* undo() const { return part<EditHistory>().undoAction(); }
    QAction* redo() const { return part<EditHistory>().redoAction(); }
    int ampCode16(int entry) { return amp.image()[std::size_t(entry)] | amp.image()[std::size_t(entry) + 1] << 8; }
    // Waits until the amplifier holds `value` at `entry` (16-bit when `wide`).
    bool ampHolds(int entry, int value, bool wide = false)
    {
        return QTest::qWaitFor([&] { return (wide ? ampCode16(entry) : amp.image()[std::size_t(entry)]) == value; },
                               3000);
    }
    void pressKeys(QKeyCombination keys) { QTest::keySequence(QApplication::focusWidget(), QKeySequence(keys)); }
};

constexpr int kLowGain = outputBlockStart(2) + kOutGain;
constexpr int kHighMute = outputBlockStart(0) + kOutMute;

} // namespace

TEST_F(UndoWindowTest, UndoAndRedoOfAWheelBurstAMuteAndAMarkerDragReachTheAmplifier)
{
    makeShownWindow();
    connectAndRead();
    EXPECT_FALSE(undo()->isEnabled());
    EXPECT_EQ(undo()->text(), "Undo");

    // A wheel burst on Low's gain track bar is one step.
    const int lowGain = ampCode16(kLowGain);
    click("btn_op2_gain");
    QSlider* bar = slider("rztrckbr_gain");
    mouse(bar, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton);
    mouse(bar, QEvent::MouseButtonRelease, {2, 2}, Qt::NoButton);
    const int afterPress = model().code16(kLowGain);
    for (int turn = 0; turn < 3; ++turn)
        turnWheel(bar, 120);
    const int burst = model().code16(kLowGain);
    ASSERT_NE(burst, afterPress);
    ASSERT_TRUE(ampHolds(kLowGain, burst, true));
    EXPECT_EQ(undo()->text(), "Undo Low gain");
    EXPECT_EQ(part<EditHistory>().stack().count(), afterPress == lowGain ? 1 : 2);

    // A mute, then both taken back one by one and done again.
    click("btn_op0_mute");
    ASSERT_TRUE(ampHolds(kHighMute, 1));
    EXPECT_EQ(undo()->text(), "Undo High mute");
    undo()->trigger();
    ASSERT_TRUE(ampHolds(kHighMute, 0));
    EXPECT_EQ(face("btn_op0_mute"), kButtonFace);
    EXPECT_EQ(redo()->text(), "Redo High mute");
    undo()->trigger();
    ASSERT_TRUE(ampHolds(kLowGain, afterPress, true));
    redo()->trigger();
    ASSERT_TRUE(ampHolds(kLowGain, burst, true));

    // A marker drag on High's page is one step; undone from Main's page, it
    // brings High's page back with the old values in the boxes.
    click("btn_op0_eq");
    const QString before = text("edt_op3eq_freq_03");
    const int band = bandRecord(1, 3);
    const int frequency = amp.image()[std::size_t(band)];
    const MarkerPosition m = part<EqPage>().graph().responses().channel(1).markers[3];
    QWidget* graph = control("img_eqbackground");
    mouse(graph, QEvent::MouseButtonPress, {m.x, m.y}, Qt::LeftButton);
    for (int x = m.x; x <= 430; x += 20)
        mouse(graph, QEvent::MouseMove, {x, 60}, Qt::LeftButton);
    mouse(graph, QEvent::MouseMove, {430, 60}, Qt::LeftButton);
    mouse(graph, QEvent::MouseButtonRelease, {430, 60}, Qt::NoButton);
    ASSERT_TRUE(ampHolds(band, 136));
    EXPECT_EQ(undo()->text(), "Undo EQ 4 (High)");
    click("btn_in0_eq");
    undo()->trigger();
    ASSERT_TRUE(ampHolds(band, frequency));
    EXPECT_EQ(label("lbl_cur_ch"), "Current : High");
    EXPECT_EQ(text("edt_op3eq_freq_03"), before);
    redo()->trigger();
    ASSERT_TRUE(ampHolds(band, 136));

    // Disconnecting keeps the history; the next read-all clears it.
    window->toggleConnection();
    EXPECT_TRUE(undo()->isEnabled());
    connectAndRead();
    EXPECT_FALSE(undo()->isEnabled() || redo()->isEnabled());
}

TEST_F(UndoWindowTest, CtrlZInABoxTakesBackTheTypingFirstThenTheLastEdit)
{
    makeShownWindow();
    connectAndRead();
    click("btn_op0_mute");
    ASSERT_TRUE(ampHolds(kHighMute, 1));
    auto* box = control<QLineEdit>("edt_op3eq_freq_00");
    const QString stored = box->text();
    box->setFocus();
    QTest::keyClicks(box, "500");
    pressKeys(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(box->text(), stored); // the typing went, the mute stays
    EXPECT_EQ(model().image[kHighMute], 1);
    pressKeys(Qt::CTRL | Qt::Key_Z);
    ASSERT_TRUE(ampHolds(kHighMute, 0));
    pressKeys(Qt::CTRL | Qt::Key_Y);
    ASSERT_TRUE(ampHolds(kHighMute, 1));
}

// Closing a pop-up, a bridge pick hiding a row, or a refresh switching the page
// under a bound box never hands the wheel to a control the user did not pick.
TEST_F(UndoWindowTest, TheFocusNeverFallsOnAnEqualiserBox)
{
    makeShownWindow();
    connectAndRead();
    const auto image = model().image;
    const auto noBoxFocused = [] { return !qobject_cast<QLineEdit*>(QApplication::focusWidget()); };

    click("btn_op2_gain");
    ASSERT_TRUE(slider("rztrckbr_gain")->hasFocus());
    QTest::mouseClick(button("btn_grpbx_gain_close"), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), button("btn_op2_gain"));
    turnWheel(window->centralWidget(), -120);
    turnWheel(button("btn_op2_gain"), -120);
    EXPECT_EQ(model().image, image);

    click("btn_op0_gain");
    button("btn_op0_gain")->setFocus();
    window->findChild<QAction*>("LowmidBTLhighlow1")->trigger(); // hides High's row
    EXPECT_TRUE(noBoxFocused());
    window->findChild<QAction*>("NoBTL1")->trigger();

    // High's EQ 1 frequency box bound, then the image shown again: Main's page,
    // and the wheel edits what the keys and typing edit, Main's band 1.
    click("btn_op0_eq");
    auto* box = control<QLineEdit>("edt_op3eq_freq_00");
    box->setFocus();
    QTest::mouseClick(box, Qt::LeftButton);
    window->showImage();
    const int main = bandRecord(0, 0);
    const int high = bandRecord(1, 0);
    const int highBefore = model().image[high];
    const int mainBefore = model().image[main];
    turnWheel(box, 120);
    EXPECT_EQ(model().image[high], highBefore);
    EXPECT_EQ(model().image[main], mainBefore + 1);
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(model().image[main], mainBefore + 2);
}
