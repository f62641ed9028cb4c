// The equaliser page driven through its real widgets offscreen, on a bare window
// built by the layout builder; also the graph's pointer and screens in a window.

#include "support/bare_window.h"
#include "support/qstring_print.h"

#include "editing/eq_page.h"
#include "editing/wheel_filter.h"

#include <QMimeData>
#include <QScreen>
#include <QWindow>

#include <memory>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct EqPageTest : BareWindowTest {
    ParameterEditor editor{model};
    EditingContext editing;
    std::unique_ptr<EqPage> page;
    WheelFilter wheel{&window, editing};
    int popupHides = 0;

    EqPageTest()
    {
        model.writeDefaults();
        page = std::make_unique<EqPage>(views.eqPage, editor, editing);
        QObject::connect(page.get(), &EqPage::hidePopupsRequested, [this] { ++popupHides; });
        page->selectPage(0);
        EXPECT_TRUE(showActive());
    }

    int pendingCount() const { return int(std::count(model.pending.begin(), model.pending.end(), true)); }
    QLabel* graph() { return control<QLabel>("img_eqbackground"); }
    QLineEdit* box(const char* name) { return control<QLineEdit>(name); }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) { Controls::mouse(graph(), type, at, held); }
    void press(QPoint at) { mouse(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void moveTo(QPoint at) { mouse(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPoint at) { mouse(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    // Pressed at the first point, moved through the others, let go at the last.
    void drag(std::initializer_list<QPoint> path)
    {
        press(*path.begin());
        for (auto at = path.begin() + 1; at != path.end(); ++at)
            moveTo(*at);
        release(*(path.end() - 1));
    }
    MarkerPosition marker(int band, int channel = -1)
    {
        return page->graph().responses().channel(channel < 0 ? model.pageChannel : channel).markers[band];
    }

    // Focus the box, type without Enter, then move the focus to `next`; the text as typed.
    QString typeThenLeave(const char* name, const char* typed, const char* next)
    {
        box(name)->setFocus();
        box(name)->selectAll();
        QTest::keyClicks(box(name), typed);
        const QString typedText = box(name)->text();
        box(next)->setFocus();
        return typedText;
    }
};

// The page on High, in a shown window.
struct GraphWindow : EqPageTest {
    GraphWindow() { click("btn_op0_eq"); }
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
    EXPECT_EQ(textsOf({"lbl_cur_ch", "edt_op3eq_freq_04", "edt_op3eq_gain_04", "edt_op3eq_qval_04",
                       "edt_op3eq_qval_00", "cbb_op3eq_type_04", "edt_op3lpf_freq", "cbb_op3hpf_type"}),
              QStringList({"Current : High", "1000.0", "-24.0", "92.302", "4.072", "HS6", "21900.0", "24db-LR"}));
    EXPECT_EQ(marker(4), (MarkerPosition{430, 199}));
    EXPECT_EQ(face("btn_op0_eq"), kOpenYellow);
    EXPECT_EQ(face("btn_in0_eq"), kButtonGrey);
    EXPECT_EQ(page->graph().lastDrawnChannel(), 1);
    EXPECT_GE(popupHides, 1);

    click("btn_op1_eq");
    EXPECT_EQ(label("lbl_cur_ch"), "Current : Mid "); // the blank belongs to it
    click("btn_in0_eq");
    EXPECT_EQ(label("lbl_cur_ch"), "Current : MAIN ");
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, TypedValuesCommitOnEnterAndOnFocusLoss)
{
    type("edt_op3eq_freq_02", "1015");
    EXPECT_EQ(std::tuple(model.image[bandRecord(0, 2)], model.pending[bandChunk(0, 2)], text("edt_op3eq_freq_02")),
              std::tuple(136, true, "1000.0"));
    EXPECT_EQ(box("edt_op3eq_freq_02")->selectedText(), "1000.0"); // Enter in a band box selects again
    EXPECT_EQ(marker(2).x, 430);
    // Focus loss commits a gain; the characters the filter refuses never arrive.
    EXPECT_EQ(typeThenLeave("edt_op3eq_gain_05", "-x1a,.2", "edt_op3eq_qval_05"), "-1.2");
    EXPECT_EQ(model.code16(bandRecord(0, 5) + kBandGain), 114);
    EXPECT_TRUE(model.pending[bandChunk(0, 5)]);
    // Crossover boxes: "-" is refused, 30000 clamps; Enter leaves the selection alone.
    type("edt_op3lpf_freq", "-30000");
    EXPECT_EQ(std::tuple(model.image[crossoverRecord(0) + kLpfFrequency], model.pending[crossoverChunk(0)],
                         text("edt_op3lpf_freq"), box("edt_op3lpf_freq")->selectedText()),
              std::tuple(243, true, "21900.0", ""));
}

TEST_F(EqPageTest, UnchangedInvalidOrCancelledTextSendsNothing)
{
    type("edt_op3eq_freq_03", "46.8"); // the default of band 3
    type("edt_op3eq_gain_03", "0.0");
    type("edt_op3eq_qval_03", ".");
    for (const char* name : {"edt_op3eq_freq_01", "edt_op3lpf_freq"}) { // Escape, then the focus leaves
        box(name)->setFocus();
        QTest::keyClicks(box(name), "500");
        QTest::keyClick(box(name), Qt::Key_Escape);
    }
    box("edt_op3hpf_freq")->setFocus();
    box("edt_op3hpf_freq")->clear();
    box("edt_op3eq_freq_00")->setFocus();
    EXPECT_EQ(textsOf({"edt_op3eq_freq_03", "edt_op3eq_gain_03", "edt_op3eq_qval_03", "edt_op3hpf_freq",
                       "edt_op3eq_freq_01", "edt_op3lpf_freq"}),
              QStringList({"46.8", "0.0", "4.072", "19.7", "26.3", "20100.0"}));
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, UpAndDownStepOneCodeAndStopAtTheLimits)
{
    QLineEdit* freq = box("edt_op3eq_freq_00"); // band 0 sits at code 0
    freq->setFocus();
    QTest::keyClick(freq, Qt::Key_Down);
    EXPECT_EQ(pendingCount(), 0);
    QTest::keyClick(freq, Qt::Key_Up);
    EXPECT_EQ(std::tuple(model.image[bandRecord(0, 0)], model.pending[bandChunk(0, 0)], freq->text()),
              std::tuple(1, true, "20.3"));

    model.clearPending();
    QLineEdit* q = box("edt_op3eq_qval_09");
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
    EXPECT_EQ(box("edt_op3eq_gain_01")->selectedText(), "0.0"); // the click selects the whole text
    ASSERT_EQ(editing.wheelControl(), box("edt_op3eq_gain_01"));
    turnWheel(box("edt_op3eq_gain_01"), 120);
    EXPECT_EQ(std::tuple(model.code16(bandRecord(3, 1) + kBandGain), model.pending[bandChunk(3, 1)],
                         text("edt_op3eq_gain_01")), std::tuple(121, true, "0.2"));

    click("edt_op3hpf_freq");
    model.image[crossoverRecord(3)] = 243;
    model.clearPending();
    editing.wheelTurned(120);
    EXPECT_EQ(std::tuple(model.image[crossoverRecord(3)], model.pending[crossoverChunk(3)], text("edt_op3hpf_freq")),
              std::tuple(243, true, "21900")); // marked to be sent again though unchanged
    // Leaving the box unbinds the wheel.
    box("edt_op3eq_freq_00")->setFocus();
    control("edt_empty")->setFocus();
    EXPECT_FALSE(editing.wheelBound() || editing.wheelTurned(120));
}

TEST_F(EqPageTest, NoValueBoxTakesDroppedText)
{
    QMimeData text;
    text.setText(QStringLiteral("500"));
    for (QLineEdit* box : window.findChildren<QLineEdit*>()) { // equaliser, Device ID and preset name boxes
        QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        EXPECT_FALSE(enter.isAccepted()) << box->objectName().toStdString();
    }
}

// Where each choice goes on the wire: EqPageWindowTest.EachPageWritesItsChannelBlockAndChunk.
TEST_F(EqPageTest, ATypeChoiceNamesItsEntryAndLeavesTheWheelFree)
{
    click("btn_op0_eq"); // High
    choose("cbb_op3eq_type_03", 2);
    EXPECT_EQ(std::tuple(model.image[193], editing.targetField, editing.wheelBound()), std::tuple(2, 193, false));
}

// The bound box follows the page: the wheel edits what the keys and typing edit.
TEST_F(EqPageTest, ShowingTheImageMarksNothingAndBindsTheFocusedBoxOnMainsPage)
{
    click("btn_op0_eq"); // High
    click("edt_op3eq_gain_02"); // the wheel bound to High's band 3 gain
    model.clearPending();
    model.image[bandRecord(0, 1)] = 136;
    model.setCode16(bandRecord(0, 0) + kBandGain, 150);
    model.image[crossoverRecord(0) + kHpfType] = 4;
    page->showImage();
    EXPECT_EQ(model.pageChannel, 0);
    EXPECT_EQ(textsOf({"edt_op3eq_freq_01", "edt_op3eq_gain_00"}), QStringList({"1000.0", "6.0"}));
    EXPECT_EQ(combo("cbb_op3hpf_type")->currentIndex(), 4);
    EXPECT_EQ(marker(1).x, 430);
    EXPECT_EQ(std::pair(editing.targetField, editing.wheelEntry()),
              std::pair(bandRecord(0, 2) + kBandGain, bandRecord(0, 2) + kBandGain));
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, EditsCarryLabelOldValuesAndOneMergeKeyPerControlAndDrag)
{
    std::vector<ParameterEdit> edits;
    QObject::connect(&editor, &ParameterEditor::edited, [&](const ParameterEdit& e) { edits.push_back(e); });
    click("edt_op3eq_gain_03");
    QTest::keyClick(box("edt_op3eq_gain_03"), Qt::Key_Up);
    editing.wheelTurned(120);
    choose("cbb_op3hpf_type", 2);
    for (int step = 0; step < 2; ++step)
        drag({{marker(3).x, marker(3).y}, {430, 87 - step}, {500, 60 - step}});
    ASSERT_EQ(edits.size(), 7u);
    EXPECT_EQ(edits[0].label, "EQ 4 (Main)");
    EXPECT_EQ(edits[0].mergeKey, edits[1].mergeKey); // the key and the wheel on one box
    EXPECT_EQ(std::pair(edits[1].entries[0].before, edits[1].entries[0].after), std::pair(121, 122));
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
    // An edit of another channel's band leaves this page's boxes alone; High's curve follows.
    const QString shown = text("edt_op3eq_freq_03");
    const int before = marker(3, 1).x;
    editor.apply(ParameterEdit("EQ 4 (High)").set(bandRecord(1, 3), 200));
    EXPECT_EQ(text("edt_op3eq_freq_03"), shown);
    EXPECT_GT(marker(3, 1).x, before);
}

TEST_F(EqPageTest, DraggingAMarkerSetsFrequencyAndGain)
{
    click("btn_op0_eq"); // High
    click("edt_op3eq_gain_07"); // a box being edited: the press makes it commit and let go
    const MarkerPosition m = marker(3);
    press({m.x + 9, m.y - 9});
    EXPECT_EQ(std::tuple(page->graph().dragging(), editing.wheelBound(), editing.bandNumber,
                         box("edt_op3eq_freq_03")->hasFocus()), std::tuple(true, false, 3, true));

    moveTo({430, 87});
    EXPECT_EQ(std::pair(model.image[193 - 1], model.code16(193 + 1)), std::pair(136, 120));
    EXPECT_EQ(text("edt_op3eq_freq_03"), "1000");
    moveTo({430, 86});
    EXPECT_EQ(text("edt_op3eq_gain_03"), "0.2");
    EXPECT_EQ(marker(3), (MarkerPosition{430, 85}));
    // The image keeps the pointer outside its area; such positions clamp.
    moveTo({-40, -30});
    EXPECT_EQ(textsOf({"edt_op3eq_freq_03", "edt_op3eq_gain_03"}), QStringList({"19.7", "12"}));
    moveTo({719, 249});
    EXPECT_EQ(std::pair(model.image[192], model.code16(194)), std::pair(243, 0));
    EXPECT_TRUE(model.pending[24]);

    release({719, 249});
    EXPECT_EQ(std::tuple(page->graph().dragging(), box("edt_op3eq_qval_03")->hasFocus(), editing.wheelControl(),
                         editing.targetField), std::tuple(false, true, box("edt_op3eq_qval_03"), 198));
    turnWheel(graph(), -120);
    EXPECT_EQ(std::tuple(model.code16(198), text("edt_op3eq_qval_03")), std::tuple(41, "3.842"));
    // A press that hits no marker still ends in the Q box of the band last edited.
    press({20, 20});
    EXPECT_FALSE(page->graph().dragging());
    release({20, 20});
    EXPECT_TRUE(box("edt_op3eq_qval_03")->hasFocus());
}

TEST_F(EqPageTest, AfterADragTheFrequencyBoxCommitsOnFocusLossAgain)
{
    drag({{marker(2).x, marker(2).y}, {430, 86}});
    model.clearPending();
    // Later the user types into the dragged band's frequency box and tabs away.
    typeThenLeave("edt_op3eq_freq_02", "2000", "edt_op3eq_gain_02");
    EXPECT_EQ(std::tuple(model.image[bandRecord(0, 2)], model.pending[bandChunk(0, 2)], text("edt_op3eq_freq_02")),
              std::tuple(160, true, "2000.0"));
}

TEST_F(EqPageTest, APageSwitchEndsADrag)
{
    click("btn_op0_eq");
    press({marker(5).x, marker(5).y});
    page->showImage(); // the image shown while the button is held
    moveTo({430, 40});
    EXPECT_EQ(std::pair(model.image[bandRecord(1, 5)], model.image[bandRecord(0, 5)]), std::pair(50, 50));
    EXPECT_EQ(marker(5).x, 221);
    EXPECT_EQ(pendingCount(), 0);
}

TEST_F(EqPageTest, AContextMenuOrAnotherProgramIsNoFocusLoss)
{
    QLineEdit* gain = box("edt_op3eq_gain_06");
    gain->setFocus();
    gain->setText("3"); // being typed
    for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(gain, &out);
        EXPECT_TRUE(editing.wheelBound() && gain->text() == "3");
    }
    EXPECT_EQ(pendingCount(), 0);
    box("edt_op3eq_gain_07")->setFocus();
    EXPECT_EQ(model.code16(bandRecord(0, 6) + kBandGain), 135);
}

// Also run with QT_SCALE_FACTOR=2: the same pointer positions give the same codes.
TEST_F(GraphWindow, PointerCodesAreTheSameAtEveryRatio)
{
    EXPECT_EQ(graph()->pixmap().size(), QSize(720, 250) * graph()->devicePixelRatioF());
    for (const auto& [offset, to, codes] : {std::tuple{QPoint(9, -9), QPoint(430, 86), std::pair{136, 121}},
                                            {QPoint(-9, 9), QPoint(719, 249), std::pair{243, 0}}}) {
        const MarkerPosition m = marker(3, 1);
        QTest::mousePress(graph(), Qt::LeftButton, {}, QPoint(m.x, m.y) + offset);
        ASSERT_TRUE(page->graph().dragging());
        QTest::mouseMove(graph(), to);
        QTest::mouseRelease(graph(), Qt::LeftButton, {}, to);
        EXPECT_EQ(std::pair(model.image[192], model.code16(194)), codes) << graph()->devicePixelRatioF();
    }
}

// Run with screens at 100 % and 200 % (two_screens.json): graph and icons follow the window's screen.
TEST_F(GraphWindow, MovedToAScreenWithAnotherRatioItIsDrawnAgain)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        GTEST_SKIP() << "needs two screens of different ratios";
    const QImage before = graph()->pixmap().toImage();
    for (QScreen* screen : {screens[1], screens[0]}) {
        window.windowHandle()->setScreen(screen);
        const qreal ratio = screen->devicePixelRatio();
        ASSERT_TRUE(QTest::qWaitFor([&] { return graph()->pixmap().devicePixelRatio() == ratio; }, 2000)) << ratio;
        for (const char* icon : {"img_connectstate", "img2", "img_EQBmp9"})
            EXPECT_EQ(control<QLabel>(icon)->pixmap().devicePixelRatio(), ratio) << icon;
    }
    EXPECT_EQ(graph()->pixmap().toImage(), before); // back at 100 %: the same picture, the same channel
}
