// The channel strip on a bare window with the real layout, driven through its
// widgets offscreen; the send scheduler writes to a recording transport.

#include "support/bare_window.h"
#include "support/qstring_print.h"

#include "editing/channel_strip.h"
#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "editing/wheel_filter.h"

#include <memory>

using namespace talvex;
using namespace talvex::testing;

namespace {

const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kGrey(224, 224, 224);

class StripTest : public BareWindowTest {
protected:
    StripTest()
    {
        model.writeDefaults();
        strip = std::make_unique<ChannelStrip>(views.strip, editor, editing);
        wheel = std::make_unique<WheelFilter>(&window, editing);
        link = LinkState::Bus;
        strip->showImage();
        EXPECT_TRUE(showActive());
    }

    // One send-pulse tick; the frame it wrote.
    Bytes tick() { return BareWindowTest::tick(1).empty() ? Bytes{} : transport.serialWrites.back(); }

    ParameterEditor editor{model};
    EditingContext editing;
    std::unique_ptr<ChannelStrip> strip;
    std::unique_ptr<WheelFilter> wheel;
};

int payload(const Bytes& frame, int i) { return frame.at(10 + i); }

} // namespace

TEST_F(StripTest, LowGainPopupClampsAStoredPlusFiveDecibels)
{
    model.setCode16(outputBlockStart(2) + kOutGain, 325);
    click("btn_op2_gain");

    EXPECT_EQ(std::tuple(shown("grpbx_gain"), label("albl1"), slider("rztrckbr_gain")->value(), model.code16(450),
                         model.lowestPending()), std::tuple(true, "0dB", 300, 300, 56));
    // Beside the button: strip left 7 + 160 + 61, strip top 98 + 105 + 23 - 3.
    EXPECT_EQ(control("grpbx_gain")->pos(), QPoint(228, 223));
    EXPECT_EQ(std::pair(face("btn_op2_gain"), face("btn_op0_gain")), std::pair(kYellow, kGrey));
    // Dragging Low past 300 snaps back; High reaches +5 dB.
    slider("rztrckbr_gain")->setValue(320);
    EXPECT_EQ(std::pair(slider("rztrckbr_gain")->value(), model.code16(450)), std::pair(300, 300));
    click("btn_op0_gain");
    EXPECT_EQ(face("btn_op2_gain"), kGrey);
    slider("rztrckbr_gain")->setValue(325);
    EXPECT_EQ(std::tuple(label("albl1"), model.code16(146)), std::tuple("5dB", 325));
    slider("rztrckbr_gain")->setValue(301);
    EXPECT_EQ(label("albl1"), "0.2dB");

    const auto write = tick();
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(write[4], frame::kOpWrite);
    EXPECT_EQ(commandAndSubIndexOf(write), std::pair(1, 0)); // High's block, chunk 18 = sub-index 0
    EXPECT_EQ(payload(write, 2) + 256 * payload(write, 3), 301);
}

TEST_F(StripTest, OpeningOnAnUnchangedPositionWritesNothing)
{
    model.setCode16(146, 0); // the track bar starts at 0 as well
    click("btn_op0_gain");
    EXPECT_EQ(model.lowestPending(), -1);
    EXPECT_EQ(label("albl1"), "-60dB"); // the value, not the design text
    EXPECT_EQ(editing.targetField, 146);
}

TEST_F(StripTest, DelayExtremesShowShortTextsAndStoreBothBytes)
{
    click("btn_op1_delay");
    EXPECT_EQ(control("grpbx_delay")->pos(), QPoint(7 + 413 + 49, 98 + 73 + 23 - 3));
    // The pop-up has the keyboard focus on its track bar.
    QSlider* bar = slider("rztrckbr_delay");
    EXPECT_TRUE(bar->hasFocus());
    QTest::keyClick(bar, Qt::Key_End);
    EXPECT_EQ(std::tuple(label("albl2"), model.image[300], model.image[301], model.lowestPending()),
              std::tuple("14.976 ms", 160, 5, 37));
    QTest::keyClick(bar, Qt::Key_Home);
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(label("albl2"), "0.0104 ms");
    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_EQ(std::tuple(label("albl2"), model.code16(300)), std::tuple("0 ms", 0));
    // Main delay writes entries 4 and 5 of chunk 0; its button turns yellow, the
    // output Delay buttons grey.
    click("btn_in0_delay");
    EXPECT_EQ(std::pair(face("btn_in0_delay"), face("btn_op1_delay")), std::pair(kYellow, kGrey));
    QTest::keyClick(slider("rztrckbr_delay"), Qt::Key_End);
    EXPECT_EQ(model.code16(kMainDelay), 1440);
    const auto write = tick();
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(commandAndSubIndexOf(write), std::pair(0, 0));
    EXPECT_EQ(std::pair(payload(write, 4), payload(write, 5)), std::pair(160, 5));
}

TEST_F(StripTest, MidThresholdChoiceGoesOutAsCommandTwoSubIndexTwo)
{
    std::ranges::copy(std::array{3, 2, 7}, model.image.begin() + 312);
    click("btn_op1_lim");
    auto* threshold = combo("cbb_lim_thr");
    EXPECT_EQ(textsOf({"cbb_lim_thr", "cbb_lim_att", "cbb_lim_rel"}), QStringList({"-17.0dB", "5ms", "3000ms"}));
    EXPECT_EQ(model.lowestPending(), -1); // showing the stored choices is not an edit
    EXPECT_TRUE(threshold->hasFocus());

    QTest::keyClick(threshold, Qt::Key_End);
    QTest::keyClick(threshold, Qt::Key_Up);
    EXPECT_EQ(threshold->currentText(), "-1.0dB");
    EXPECT_EQ(std::pair(model.image[312], model.lowestPending()), std::pair(19, 39));
    const auto write = tick();
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(commandAndSubIndexOf(write), std::pair(2, 2));
    EXPECT_EQ(Bytes(write.begin() + 10, write.begin() + 13), (Bytes{19, 2, 7}));
}

TEST_F(StripTest, WheelStepsTheClickedTrackBarAndStopsAtItsEnds)
{
    click("btn_op0_delay");
    QSlider* bar = slider("rztrckbr_delay");
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(4, bar->height() / 2));
    EXPECT_EQ(editing.wheelControl(), bar);
    QTest::keyClick(bar, Qt::Key_End);
    model.clearPending();
    // Turned away from the user at 1440: nothing moves, nothing is applied.
    turnWheel(control("cbb_lim_thr"), 120);
    EXPECT_EQ(std::pair(bar->value(), model.lowestPending()), std::pair(1440, -1));
    // Towards the user, over any control of the window: one step per notch.
    turnWheel(control("grp2"), -120);
    EXPECT_EQ(label("albl2"), "14.9656 ms");
    EXPECT_EQ(std::tuple(bar->value(), model.code16(148), model.lowestPending()), std::tuple(1439, 1439, 18));
    // Leaving the track bar unbinds the wheel and greys the Gain buttons.
    click("btn_op0_gain");
    EXPECT_EQ(face("btn_op0_gain"), kYellow);
    QSlider* gain = slider("rztrckbr_gain");
    QTest::mouseClick(gain, Qt::LeftButton, {}, QPoint(4, gain->height() / 2));
    EXPECT_EQ(editing.wheelControl(), gain);
    control("cbb_comport")->setFocus();
    EXPECT_FALSE(editing.wheelBound());
    EXPECT_EQ(face("btn_op0_gain"), kGrey);
    EXPECT_TRUE(shown("grpbx_gain")); // losing the focus does not close it
    // The input gain: a click binds it, the wheel steps 0.2 dB.
    QSlider* ingain = slider("rztrckbr_ingain");
    ingain->setValue(300);
    QTest::mouseClick(ingain, Qt::LeftButton, {}, QPoint(ingain->width() - 3, ingain->height() / 2));
    EXPECT_EQ(editing.wheelControl(), ingain);
    turnWheel(ingain, -120);
    EXPECT_EQ(label("lbl28"), "-0.2dB");
}

TEST_F(StripTest, PagesMoveOneDecibelAndTouchpadTurnsStepPerWholeNotch)
{
    click("btn_op0_delay");
    QSlider* delay = slider("rztrckbr_delay");
    QSlider* volume = slider("rztrckbr_ingain");
    delay->setValue(700);
    volume->setValue(300);
    QTest::keyClick(delay, Qt::Key_PageUp);
    QTest::keyClick(volume, Qt::Key_PageDown);
    EXPECT_EQ(std::pair(model.code16(outputBlockStart(0) + kOutDelay), model.code16(kMainGain)), std::pair(710, 295));
    const auto turns = [](QSlider* bar, int count, int delta) {
        for (int i = 0; i < count; ++i)
            turnWheel(bar, delta);
        return bar->value();
    };
    // A groove click left of the thumb pages down and binds the wheel.
    QTest::mouseClick(delay, Qt::LeftButton, {}, QPoint(4, delay->height() / 2));
    EXPECT_EQ(turns(delay, 9, 12), 700); // 108 of a 120-unit notch
    EXPECT_EQ(turns(delay, 1, 12), 701);
    EXPECT_EQ(turns(delay, 1, -360), 698); // three mouse notches in one event
    EXPECT_EQ(turns(delay, 5, -12), 698);  // 60 held, dropped when another bar is bound
    QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(4, volume->height() / 2));
    const int first = turns(volume, 5, 12);
    EXPECT_EQ(std::pair(first, turns(volume, 5, 12)), std::pair(290, 291));
}

TEST_F(StripTest, BoundWheelIsEatenAndAnUnboundOneLeavesClosedListsAlone)
{
    click("btn_op2_lim");
    auto* release = combo("cbb_lim_rel");
    release->setFocus();
    ASSERT_EQ(release->currentIndex(), 0);
    // Nothing bound: a closed list, focused or not, keeps its item.
    for (const char* name : {"cbb_lim_rel", "cbb_deviceid", "cbb_op3eq_type_00"}) {
        turnWheel(combo(name), -120);
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    }
    // Bound to an equaliser gain box at 200 (range 0..180): the turn steps the
    // box's code and the combo stays.
    int code = 200, applied = 0;
    editing.bindWheel({release, 0, [&](int direction) {
                           ++applied;
                           code = steppedCode(code, direction, highestCode(EditingContext::BoxKind::BandGain));
                       }});
    turnWheel(release, 120);
    EXPECT_EQ(code, 180);
    turnWheel(release, -120);
    EXPECT_EQ(std::tuple(code, applied, release->currentIndex()), std::tuple(179, 2, 0));
    // A sideways tilt while bound steps nothing and scrolls nothing.
    QWheelEvent tilt(QPointF(3, 3), release->mapToGlobal(QPointF(3, 3)), QPoint(), QPoint(120, 0), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(release, &tilt);
    EXPECT_EQ(std::pair(code, applied), std::pair(179, 2));
}

TEST_F(StripTest, TogglesAndTheirLooks)
{
    click("btn_op1_mute");
    EXPECT_EQ(face("btn_op1_mute"), kRed);
    EXPECT_EQ(model.image[296], 1);
    click("btn_op1_mute");
    EXPECT_EQ(face("btn_op1_mute"), kButtonFace);
    EXPECT_EQ(model.lowestPending(), 37);

    model.image[kMainPolarity] = 7; // shown as on; the next click makes it 1
    click("btn_in0_pol");
    EXPECT_EQ(model.image[kMainPolarity], 1);
    EXPECT_EQ(text("btn_in0_pol"), "-");
    click("btn_op2_pol");
    EXPECT_EQ(text("btn_op2_pol"), "-");
    click("btn_op2_bassp");
    EXPECT_EQ(face("btn_op2_bassp"), kRed);
    EXPECT_EQ(model.image[455], 1);
    EXPECT_TRUE(model.pending[0] && model.pending[56]);
}

TEST_F(StripTest, EveryWayAPopupCloses)
{
    auto opensThen = [this](const char* opener, const char* popup, auto close) {
        click(opener);
        ASSERT_TRUE(shown(popup)) << opener;
        close();
        EXPECT_FALSE(shown(popup)) << opener;
    };
    opensThen("btn_op0_gain", "grpbx_gain", [&] { click("btn_grpbx_gain_close"); });
    opensThen("btn_op0_delay", "grpbx_delay", [&] { click("btn2"); });
    opensThen("btn_op0_lim", "grpbx_limit", [&] { click("btn3"); });
    opensThen("btn_op0_lim", "grpbx_limit", [&] { click("btn_op1_gain"); });
    EXPECT_TRUE(shown("grpbx_gain")); // only one at a time
    opensThen("btn_op2_gain", "grpbx_gain", [&] { click("btn_op2_mute"); });
    opensThen("btn_op1_delay", "grpbx_delay", [&] { slider("rztrckbr_ingain")->setValue(12); });
    opensThen("btn_op1_delay", "grpbx_delay", [&] { strip->showImage(); });
    opensThen("btn_op1_lim", "grpbx_limit", [&] { QMetaObject::invokeMethod(strip.get(), "hidePopups"); });
    opensThen("btn_op1_lim", "grpbx_limit", [&] { control<QAction>("NoBTL1")->trigger(); });
    // The focus leaving a pop-up greys its family; the pop-up stays.
    click("btn_op1_lim");
    EXPECT_EQ(face("btn_op1_lim"), kYellow);
    auto* threshold = combo("cbb_lim_thr");
    threshold->showPopup(); // its drop-down is part of the pop-up
    QTest::qWait(50);
    threshold->hidePopup();
    EXPECT_EQ(face("btn_op1_lim"), kYellow);
    control("edt22")->setFocus();
    EXPECT_EQ(face("btn_op1_lim"), kGrey);
    EXPECT_TRUE(shown("grpbx_limit"));
}

TEST_F(StripTest, ShowingTheImageMarksNothingAndLeavesTheContext)
{
    click("btn_op2_gain"); // a pop-up open, the context on Low's gain
    model.clearPending();
    model.image[144] = 1;
    model.setCode16(kMainGain, 150);
    model.image[kBridgeMode] = 1;
    strip->showImage();
    EXPECT_EQ(face("btn_op0_mute"), kRed);
    EXPECT_EQ(label("lbl28"), "-30dB");
    EXPECT_EQ(slider("rztrckbr_ingain")->value(), 150);
    EXPECT_TRUE(checked("Lowmidbridge1"));
    EXPECT_FALSE(shown("btn_op1_mute") || shown("grpbx_gain"));
    EXPECT_EQ(editing.targetField, outputBlockStart(2) + kOutGain);
    EXPECT_EQ(model.lowestPending(), -1);
    const auto frame = tick(); // nothing pending: a meter read, not a write
    ASSERT_FALSE(frame.empty());
    EXPECT_NE(frame[4], frame::kOpWrite);
}

TEST_F(StripTest, EditsNameTheControlAndShowWhenAppliedFromElsewhere)
{
    std::vector<ParameterEdit> edits;
    QObject::connect(&editor, &ParameterEditor::edited, [&](const ParameterEdit& e) { edits.push_back(e); });
    click("btn_op0_mute");
    click("btn_op2_gain");
    slider("rztrckbr_gain")->setValue(10);
    slider("rztrckbr_gain")->setValue(11);
    control<QAction>("highmidbridge1")->trigger();
    click("btn_in0_delay");
    slider("rztrckbr_delay")->setValue(7);
    ASSERT_EQ(edits.size(), 5u);
    const std::pair<const char*, int> expected[] = {
        {"High mute", 18}, {"Low gain", 56}, {"Low gain", 56}, {"Bridge mode", 0}, {"Main delay", 0}};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        EXPECT_EQ(edits[i].label, expected[i].first) << i;
        EXPECT_EQ(edits[i].chunk(), expected[i].second) << i;
    }
    EXPECT_TRUE(edits[0].mergeKey.empty()); // toggles never merge
    EXPECT_EQ(edits[1].mergeKey, edits[2].mergeKey); // one track bar
    EXPECT_EQ(edits[2].entries[0].before, 10);
    // Going back through the same path shows the old state and marks again.
    model.clearPending();
    editor.apply(edits[0].inverted(), ParameterEditor::Origin::Replay);
    editor.apply(edits[3].inverted(), ParameterEditor::Origin::Replay);
    EXPECT_NE(face("btn_op0_mute"), kRed);
    EXPECT_TRUE(shown("btn_op1_mute") && checked("NoBTL1"));
    editor.apply(edits[4].inverted(), ParameterEditor::Origin::Replay); // the open pop-up follows
    EXPECT_EQ(std::pair(slider("rztrckbr_delay")->value(), label("albl2")), std::pair(0, QString("0 ms")));
    EXPECT_TRUE(model.lowestPending() == 0 && model.pending[18]);
}
