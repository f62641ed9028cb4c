// The equaliser page in the window, against the virtual amplifier over a pty:
// what each page's edits put on the wire.

#include "support/window.h"

#include "editing/eq_page.h"

using namespace talvex;
using namespace talvex::testing;

namespace {

struct EqPageWindowTest : WindowTest {
    // The first write frame from frame index `from` on, waiting for it.
    std::vector<std::uint8_t> nextWrite(std::size_t from)
    {
        std::vector<std::uint8_t> found;
        (void)QTest::qWaitFor([&] {
            for (std::size_t i = from; i < frames.size(); ++i)
                if (frames[i].size() > 7 && frames[i][4] == frame::kOpWrite) {
                    found = frames[i];
                    return true;
                }
            return false;
        }, 3000);
        return found;
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held)
    {
        Controls::mouse(control("img_eqbackground"), type, at, held);
    }
};

} // namespace

TEST_F(EqPageWindowTest, EachPageWritesItsChannelBlockAndChunk)
{
    makeWindow();
    // Start-up shows Main's page: ten flat bands, one line on row 86, nothing queued.
    EXPECT_EQ(control<QLabel>("lbl_cur_ch")->text(), "Current : MAIN ");
    EXPECT_EQ(face("btn_in0_eq"), kOpenYellow);
    const QImage shown = control<QLabel>("img_eqbackground")->pixmap().toImage();
    EXPECT_EQ(shown.pixel(600, 86), curveColour(0).rgb());
    EXPECT_EQ(window->model().lowestPending(), -1);

    control<QAbstractButton>("btn_op1_eq")->click();
    connectAndRead();
    EXPECT_EQ(control<QLabel>("lbl_cur_ch")->text(), "Current : MAIN "); // each refresh shows Main

    // High, band 3 "LS12": entry 193, chunk 24 = command 1, sub-index 6.
    control<QAbstractButton>("btn_op0_eq")->click();
    std::size_t before = frames.size();
    choose("cbb_op3eq_type_03", 2);
    auto write = nextWrite(before);
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(write[6], 1);
    EXPECT_EQ(write[7], 6);
    EXPECT_EQ(write[frame::kHeadSize + 1], 2);
    EXPECT_EQ(amp.image()[193], 2);

    // Main, HPF frequency typed: entry 8, command 0, sub-index 1.
    control<QAbstractButton>("btn_in0_eq")->click();
    auto* hpf = control<QLineEdit>("edt_op3hpf_freq");
    hpf->setText("1000");
    before = frames.size();
    QTest::keyClick(hpf, Qt::Key_Return);
    write = nextWrite(before);
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(write[6], 0);
    EXPECT_EQ(write[7], 1);
    EXPECT_EQ(amp.image()[8], 136);

    // Low, LPF type: entry 461, chunk 57 = command 3, sub-index 1.
    control<QAbstractButton>("btn_op2_eq")->click();
    before = frames.size();
    choose("cbb_op3lpf_type", 11);
    write = nextWrite(before);
    ASSERT_FALSE(write.empty());
    EXPECT_EQ(write[6], 3);
    EXPECT_EQ(write[7], 1);
    EXPECT_EQ(amp.image()[461], 11);
}

TEST_F(EqPageWindowTest, ADragSendsItsFinalPosition)
{
    makeWindow();
    connectAndRead();
    control<QAbstractButton>("btn_op0_eq")->click();
    const MarkerPosition m = window->eqPage().graph().responses().channel(1).markers[3];
    const std::size_t before = frames.size();
    mouse(QEvent::MouseButtonPress, {m.x, m.y}, Qt::LeftButton);
    for (int x = m.x; x <= 430; x += 20)
        mouse(QEvent::MouseMove, {x, 60}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {430, 86}, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {430, 86}, Qt::NoButton);

    // One write of chunk 24 carries the final values; nothing else is pending.
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp.image()[192] == 136 && window->model().lowestPending() == -1; }, 3000));
    int writes = 0;
    for (std::size_t i = before; i < frames.size(); ++i)
        if (frames[i][4] == frame::kOpWrite) {
            ++writes;
            EXPECT_EQ(frames[i][6], 1);
            EXPECT_EQ(frames[i][7], 6);
        }
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(amp.image()[194], 121);

    // The wheel over the graph now steps band 3's Q, one code per turn.
    auto* graph = control<QLabel>("img_eqbackground");
    for (int turn = 0; turn < 2; ++turn) {
        QWheelEvent wheel(QPointF(430, 86), graph->mapToGlobal(QPointF(430, 86)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(graph, &wheel);
    }
    EXPECT_EQ(control<QLineEdit>("edt_op3eq_qval_03")->text(), "3.624");
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp.image()[198] == 40; }, 3000));
}
