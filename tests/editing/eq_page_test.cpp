// The equaliser page driven through its real widgets offscreen, on a bare window
// built by the layout builder.

#include "support/controls.h"

#include "editing/eq_page.h"
#include "model/parameter_model.h"

#include <QMainWindow>

#include <memory>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct EqPageTest : ::testing::Test, Controls {
    QWidget* controlRoot() const override { return const_cast<QMainWindow*>(&window); }
    QMainWindow window;
    ParameterModel model;
    ParameterEditor editor{model};
    EditingContext editing;
    std::unique_ptr<EqPage> page;
    int popupHides = 0;

    EqPageTest()
    {
        buildMainWindowLayout(window);
        model.writeDefaults();
        page = std::make_unique<EqPage>(window.centralWidget(), editor, editing);
        QObject::connect(page.get(), &EqPage::hidePopupsRequested, [this] { ++popupHides; });
        page->selectMainPage();
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    int pendingCount() const { return int(std::count(model.pending.begin(), model.pending.end(), true)); }
    QLabel* graph() { return control<QLabel>("img_eqbackground"); }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) { Controls::mouse(graph(), type, at, held); }
    void press(QPoint at) { mouse(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void moveTo(QPoint at) { mouse(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPoint at) { mouse(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    MarkerPosition marker(int band) { return page->graph().responses().channel(model.pageChannel).markers[band]; }
};

} // namespace

TEST_F(EqPageTest, PageSelectionFillsTheRowsAndMarksNothing)
{
    const int high = bandRecord(1, 4);
    model.image[high + kBandFrequency] = 136;
    model.image[high + kBandType] = 3;
    model.setCode16(high + kBandGain, 0);
    model.setCode16(high + kBandQ, 78);
    model.image[crossoverRecord(1) + kLpfFrequency] = 243;
    model.image[crossoverRecord(1) + kHpfType] = 7;

    click("btn_op0_eq");
    EXPECT_EQ(model.pageChannel, 1);
    EXPECT_EQ(control<QLabel>("lbl_cur_ch")->text(), "Current : High");
    EXPECT_EQ(text("edt_op3eq_freq_04"), "1000.0");
    EXPECT_EQ(text("edt_op3eq_gain_04"), "-24.0");
    EXPECT_EQ(text("edt_op3eq_qval_04"), "92.302");
    EXPECT_EQ(text("edt_op3eq_qval_00"), "4.072");
    EXPECT_EQ(control<QComboBox>("cbb_op3eq_type_04")->currentText(), "HS6");
    EXPECT_EQ(text("edt_op3lpf_freq"), "21900.0");
    EXPECT_EQ(control<QComboBox>("cbb_op3hpf_type")->currentText(), "24db-LR");
    EXPECT_EQ(marker(4), (MarkerPosition{430, 199}));
    EXPECT_EQ(buttonColour(control<QAbstractButton>("btn_op0_eq")), kOpenYellow);
    EXPECT_EQ(buttonColour(control<QAbstractButton>("btn_in0_eq")), kButtonGrey);
    EXPECT_EQ(page->graph().lastDrawnChannel(), 1);
    EXPECT_GE(popupHides, 1);

    click("btn_op1_eq");
    EXPECT_EQ(control<QLabel>("lbl_cur_ch")->text(), "Current : Mid "); // the blank belongs to it
    click("btn_in0_eq");
    EXPECT_EQ(control<QLabel>("lbl_cur_ch")->text(), "Current : MAIN ");
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, TypedValuesCommitOnEnterAndOnFocusLoss)
{
    type("edt_op3eq_freq_02", "1015");
    EXPECT_EQ(model.image[bandRecord(0, 2)], 136);
    EXPECT_EQ(text("edt_op3eq_freq_02"), "1000");
    EXPECT_TRUE(model.pending[bandChunk(0, 2)]);
    EXPECT_EQ(control<QLineEdit>("edt_op3eq_freq_02")->selectedText(), "1000"); // Enter in a band box selects again
    EXPECT_EQ(marker(2).x, 430);

    // Focus loss commits a gain; the characters the filter refuses never arrive.
    QLineEdit* gain = control<QLineEdit>("edt_op3eq_gain_05");
    gain->setFocus();
    gain->selectAll();
    QTest::keyClicks(gain, "-x1a,.2");
    EXPECT_EQ(gain->text(), "-1.2");
    control<QLineEdit>("edt_op3eq_qval_05")->setFocus();
    EXPECT_EQ(model.code16(bandRecord(0, 5) + kBandGain), 114);
    EXPECT_TRUE(model.pending[bandChunk(0, 5)]);

    // Crossover boxes: "-" is refused, 30000 clamps; Enter leaves the selection alone.
    type("edt_op3lpf_freq", "-30000");
    EXPECT_EQ(model.image[crossoverRecord(0) + kLpfFrequency], 243);
    EXPECT_EQ(text("edt_op3lpf_freq"), "21900");
    EXPECT_TRUE(control<QLineEdit>("edt_op3lpf_freq")->selectedText().isEmpty());
    EXPECT_TRUE(model.pending[crossoverChunk(0)]);
}

TEST_F(EqPageTest, UnchangedOrInvalidTextSendsNothing)
{
    type("edt_op3eq_freq_03", "46.8"); // the default of band 3
    EXPECT_EQ(text("edt_op3eq_freq_03"), "46.8");
    type("edt_op3eq_gain_03", "0.0");
    EXPECT_EQ(text("edt_op3eq_gain_03"), "0");
    type("edt_op3eq_qval_03", ".");
    EXPECT_EQ(text("edt_op3eq_qval_03"), "4.072");
    QLineEdit* hpf = control<QLineEdit>("edt_op3hpf_freq");
    hpf->setFocus();
    hpf->clear();
    control<QLineEdit>("edt_op3eq_freq_00")->setFocus();
    EXPECT_EQ(hpf->text(), "19.7");
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, UpAndDownStepOneCodeAndStopAtTheLimits)
{
    QLineEdit* freq = control<QLineEdit>("edt_op3eq_freq_00"); // band 0 sits at code 0
    freq->setFocus();
    QTest::keyClick(freq, Qt::Key_Down);
    EXPECT_EQ(pendingCount(), 0);
    QTest::keyClick(freq, Qt::Key_Up);
    EXPECT_EQ(model.image[bandRecord(0, 0)], 1);
    EXPECT_EQ(freq->text(), "20.3");
    EXPECT_TRUE(model.pending[bandChunk(0, 0)]);

    model.clearPending();
    QLineEdit* q = control<QLineEdit>("edt_op3eq_qval_09");
    q->setFocus();
    model.setCode16(bandRecord(0, 9) + kBandQ, 78);
    QTest::keyClick(q, Qt::Key_Up);
    EXPECT_EQ(pendingCount(), 0);
    QTest::keyClick(q, Qt::Key_Down);
    EXPECT_EQ(model.code16(bandRecord(0, 9) + kBandQ), 77);
    EXPECT_EQ(q->text(), "82.534");
}

TEST_F(EqPageTest, WheelStepsTheBoundBoxAndResendsAtTheLimit)
{
    click("btn_op2_eq"); // Low
    click("edt_op3eq_gain_01");
    EXPECT_EQ(control<QLineEdit>("edt_op3eq_gain_01")->selectedText(), "0.0"); // the click selects the whole text
    ASSERT_EQ(editing.wheelTarget, "edt_eq_gain");
    EXPECT_TRUE(editing.wheelTurned(120, model));
    EXPECT_EQ(model.code16(bandRecord(3, 1) + kBandGain), 121);
    EXPECT_EQ(text("edt_op3eq_gain_01"), "0.2");
    EXPECT_TRUE(model.pending[bandChunk(3, 1)]);

    click("edt_op3hpf_freq");
    model.image[crossoverRecord(3)] = 243;
    model.clearPending();
    editing.wheelTurned(120, model);
    EXPECT_EQ(model.image[crossoverRecord(3)], 243);
    EXPECT_EQ(text("edt_op3hpf_freq"), "21900");
    EXPECT_TRUE(model.pending[crossoverChunk(3)]); // sent again though unchanged

    // Leaving the box unbinds the wheel.
    control<QLineEdit>("edt_op3eq_freq_00")->setFocus();
    control<QWidget>("edt_empty")->setFocus();
    EXPECT_FALSE(editing.wheelActive);
    EXPECT_FALSE(editing.wheelTurned(120, model));
}

TEST_F(EqPageTest, TypeListsStoreTheirPosition)
{
    click("btn_op0_eq"); // High
    choose("cbb_op3eq_type_03", 2);
    EXPECT_EQ(model.image[193], 2);
    EXPECT_TRUE(model.pending[24]);
    EXPECT_EQ(editing.targetField, 193);
    EXPECT_TRUE(editing.wheelTarget.empty());

    click("btn_op2_eq"); // Low
    choose("cbb_op3lpf_type", 9);
    EXPECT_EQ(model.image[461], 9);
    EXPECT_TRUE(model.pending[57]);
}

TEST_F(EqPageTest, ShowingTheImageMarksNothingAndLeavesTheContext)
{
    click("btn_op0_eq"); // High
    click("edt_op3eq_gain_02"); // the wheel bound to High's band 3 gain
    const int field = editing.targetField;
    model.clearPending();
    model.image[bandRecord(0, 1)] = 136;
    model.setCode16(bandRecord(0, 0) + kBandGain, 150);
    model.image[crossoverRecord(0) + kHpfType] = 4;
    page->showImage();
    EXPECT_EQ(model.pageChannel, 0);
    EXPECT_EQ(text("edt_op3eq_freq_01"), "1000.0");
    EXPECT_EQ(text("edt_op3eq_gain_00"), "6.0");
    EXPECT_EQ(combo("cbb_op3hpf_type")->currentIndex(), 4);
    EXPECT_EQ(marker(1).x, 430);
    EXPECT_EQ(editing.targetField, field);
    EXPECT_EQ(editing.wheelTarget, "edt_eq_gain");
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, EditsCarryLabelOldValuesAndOneMergeKeyPerControlAndDrag)
{
    std::vector<ParameterEdit> edits;
    QObject::connect(&editor, &ParameterEditor::edited, [&](const ParameterEdit& e) { edits.push_back(e); });
    click("edt_op3eq_gain_03");
    QTest::keyClick(control<QLineEdit>("edt_op3eq_gain_03"), Qt::Key_Up);
    editing.wheelTurned(120, model);
    choose("cbb_op3hpf_type", 2);
    for (int drag = 0; drag < 2; ++drag) {
        const MarkerPosition m = marker(3);
        press({m.x, m.y});
        moveTo({430, 87 - drag});
        moveTo({500, 60 - drag});
        release({500, 60});
    }
    ASSERT_EQ(edits.size(), 7u);
    EXPECT_EQ(edits[0].label, "EQ 4 (Main)");
    EXPECT_EQ(edits[0].mergeKey, edits[1].mergeKey); // the key and the wheel on one box
    EXPECT_EQ(edits[1].entries[0].before, 121);
    EXPECT_EQ(edits[1].entries[0].after, 122);
    EXPECT_EQ(edits[2].label, "Main HPF type");
    EXPECT_TRUE(edits[2].mergeKey.empty()); // list choices never merge
    EXPECT_EQ(edits[3].mergeKey, edits[4].mergeKey); // one drag
    EXPECT_NE(edits[4].mergeKey, edits[5].mergeKey); // the next drag
    EXPECT_EQ(edits[3].chunk(), bandChunk(0, 3));

    // Applied from elsewhere (a step taken back), an edit shows on the page.
    editor.apply(edits[2].inverted(), ParameterEditor::Origin::Replay);
    EXPECT_EQ(combo("cbb_op3hpf_type")->currentIndex(), 0);
    editor.apply(edits[0].inverted(), ParameterEditor::Origin::Replay);
    EXPECT_EQ(text("edt_op3eq_gain_03"), "0");
    // An edit of another channel's band leaves this page's boxes alone.
    const QString shown = text("edt_op3eq_freq_03");
    const int before = page->graph().responses().channel(1).markers[3].x;
    editor.apply(ParameterEdit("EQ 4 (High)").set(bandRecord(1, 3), 200));
    EXPECT_EQ(text("edt_op3eq_freq_03"), shown);
    EXPECT_GT(page->graph().responses().channel(1).markers[3].x, before); // High's curve follows
}

TEST_F(EqPageTest, DraggingAMarkerSetsFrequencyAndGain)
{
    click("btn_op0_eq"); // High
    click("edt_op3eq_gain_07"); // a box being edited: the press makes it commit and let go
    const MarkerPosition m = marker(3);
    press({m.x + 9, m.y - 9});
    EXPECT_TRUE(page->graph().dragging());
    EXPECT_EQ(editing.bandNumber, 3);
    EXPECT_FALSE(editing.wheelActive);
    EXPECT_TRUE(control<QLineEdit>("edt_op3eq_freq_03")->hasFocus());

    moveTo({430, 87});
    EXPECT_EQ(model.image[193 - 1], 136);
    EXPECT_EQ(model.code16(193 + 1), 120);
    EXPECT_EQ(text("edt_op3eq_freq_03"), "1000");
    moveTo({430, 86});
    EXPECT_EQ(text("edt_op3eq_gain_03"), "0.2");
    EXPECT_EQ(marker(3), (MarkerPosition{430, 85}));
    // The image keeps the pointer outside its area; such positions clamp.
    moveTo({-40, -30});
    EXPECT_EQ(text("edt_op3eq_freq_03"), "19.7");
    EXPECT_EQ(text("edt_op3eq_gain_03"), "12");
    moveTo({719, 249});
    EXPECT_EQ(model.image[192], 243);
    EXPECT_EQ(model.code16(194), 0);
    EXPECT_TRUE(model.pending[24]);

    release({719, 249});
    EXPECT_FALSE(page->graph().dragging());
    EXPECT_TRUE(control<QLineEdit>("edt_op3eq_qval_03")->hasFocus());
    EXPECT_EQ(editing.wheelTarget, "edt_eq_qval");
    EXPECT_EQ(editing.targetField, 198);
    editing.wheelTurned(-120, model);
    EXPECT_EQ(model.code16(198), 41);
    EXPECT_EQ(text("edt_op3eq_qval_03"), "3.842");

    // A press that hits no marker still ends in the Q box of the band last edited.
    press({20, 20});
    EXPECT_FALSE(page->graph().dragging());
    release({20, 20});
    EXPECT_TRUE(control<QLineEdit>("edt_op3eq_qval_03")->hasFocus());
}

TEST_F(EqPageTest, AfterADragTheFrequencyBoxCommitsOnFocusLossAgain)
{
    const MarkerPosition m = marker(2);
    press({m.x, m.y});
    moveTo({430, 86});
    release({430, 86});
    model.clearPending();

    // Later the user types into the dragged band's frequency box and tabs away.
    QLineEdit* freq = control<QLineEdit>("edt_op3eq_freq_02");
    freq->setFocus();
    freq->selectAll();
    QTest::keyClicks(freq, "2000");
    control<QLineEdit>("edt_op3eq_gain_02")->setFocus();
    EXPECT_EQ(model.image[bandRecord(0, 2)], 160);
    EXPECT_EQ(freq->text(), "2000");
    EXPECT_TRUE(model.pending[bandChunk(0, 2)]);
}

TEST_F(EqPageTest, APageSwitchEndsADrag)
{
    click("btn_op0_eq");
    const MarkerPosition m = marker(5);
    press({m.x, m.y});
    page->showImage(); // the image shown while the button is held
    moveTo({430, 40});
    EXPECT_EQ(model.image[bandRecord(1, 5)], 50);
    EXPECT_EQ(model.image[bandRecord(0, 5)], 50);
    EXPECT_EQ(marker(5).x, 221);
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, AContextMenuOrAnotherProgramIsNoFocusLoss)
{
    QLineEdit* gain = control<QLineEdit>("edt_op3eq_gain_06");
    gain->setFocus();
    gain->setText("3"); // being typed
    for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(gain, &out);
        EXPECT_TRUE(editing.wheelActive);
        EXPECT_EQ(gain->text(), "3");
    }
    EXPECT_EQ(pendingCount(), 0);
    control<QLineEdit>("edt_op3eq_gain_07")->setFocus();
    EXPECT_EQ(model.code16(bandRecord(0, 6) + kBandGain), 135);
}
