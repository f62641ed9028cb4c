// The equaliser page in the window, against the virtual amplifier over a pty:
// what each page's edits put on the wire.

#include "support/window.h"

#include "editing/eq_page.h"
#include "model/value_tables.h"

#include <functional>
#include <string_view>

using namespace talvex;
using namespace talvex::testing;

namespace {

struct EqPageWindowTest : WindowTest {
    // The first write frame the amplifier receives after `act`, waiting for it; its command and sub-index.
    std::pair<int, int> chunkWrittenBy(const std::function<void()>& act)
    {
        const std::size_t from = frames.size();
        act();
        std::pair<int, int> chunk{-1, -1};
        EXPECT_TRUE(QTest::qWaitFor([&] {
            for (std::size_t i = from; i < frames.size(); ++i)
                if (frames[i].size() > frame::kHeadSize && isWrite(frames[i])) {
                    chunk = commandAndSubIndexOf(frames[i]);
                    lastWrite = frames[i];
                    return true;
                }
            return false;
        }, 3000));
        return chunk;
    }
    Bytes lastWrite;
};

} // namespace

TEST_F(EqPageWindowTest, EachPageWritesItsChannelBlockAndChunk)
{
    makeWindow();
    // Start-up shows Main's page: ten flat bands, one line on row 86, nothing queued.
    EXPECT_EQ(label("lbl_cur_ch"), "Current : MAIN ");
    EXPECT_EQ(face("btn_in0_eq"), kOpenYellow);
    EXPECT_EQ(control<QLabel>("img_eqbackground")->pixmap().toImage().pixel(600, 86), curveColour(0).rgb());
    EXPECT_EQ(model().lowestPending(), -1);

    click("btn_op1_eq");
    connectAndRead();
    EXPECT_EQ(label("lbl_cur_ch"), "Current : MAIN "); // each refresh shows Main
    // High, band 3 "LS12": entry 193, chunk 24 = command 1, sub-index 6.
    click("btn_op0_eq");
    EXPECT_EQ(chunkWrittenBy([&] { choose("cbb_op3eq_type_03", 2); }), std::pair(1, 6));
    EXPECT_EQ(lastWrite[frame::kHeadSize + 1], 2);
    EXPECT_EQ(amp.image()[193], 2);
    // Main, HPF frequency typed: entry 8, command 0, sub-index 1.
    click("btn_in0_eq");
    auto* hpf = control<QLineEdit>("edt_op3hpf_freq");
    hpf->setText("1000");
    EXPECT_EQ(chunkWrittenBy([&] { QTest::keyClick(hpf, Qt::Key_Return); }), std::pair(0, 1));
    EXPECT_EQ(amp.image()[8], 136);
    // Low, LPF type: entry 461, chunk 57 = command 3, sub-index 1.
    click("btn_op2_eq");
    EXPECT_EQ(chunkWrittenBy([&] { choose("cbb_op3lpf_type", 11); }), std::pair(3, 1));
    EXPECT_EQ(amp.image()[461], 11);
}

TEST_F(EqPageWindowTest, ADragSendsItsFinalPosition)
{
    makeWindow();
    connectAndRead();
    click("btn_op0_eq");
    const MarkerPosition m = part<EqPage>().graph().responses().channel(1).markers[3];
    const std::size_t before = frames.size();
    QWidget* graph = control("img_eqbackground");
    mouse(graph, QEvent::MouseButtonPress, {m.x, m.y}, Qt::LeftButton);
    for (int x = m.x; x <= 430; x += 20)
        mouse(graph, QEvent::MouseMove, {x, 60}, Qt::LeftButton);
    mouse(graph, QEvent::MouseMove, {430, 86}, Qt::LeftButton);
    mouse(graph, QEvent::MouseButtonRelease, {430, 86}, Qt::NoButton);
    // One write of chunk 24 carries the final values; nothing else is pending.
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp.image()[192] == 136 && model().lowestPending() == -1; }, 3000));
    int writes = 0;
    for (std::size_t i = before; i < frames.size(); ++i)
        if (isWrite(frames[i])) {
            ++writes;
            EXPECT_EQ(commandAndSubIndexOf(frames[i]), std::pair(1, 6));
        }
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(amp.image()[194], 121);
    // The wheel over the graph now steps band 3's Q, one code per turn.
    for (int turn = 0; turn < 2; ++turn)
        turnWheel(graph, -120);
    EXPECT_EQ(text("edt_op3eq_qval_03"), "3.624");
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp.image()[198] == 40; }, 3000));
}

// While typing, a partial number stands; Enter stores, sends and shows the value
// as the page shows a stored one, whatever the digits typed.
TEST_F(EqPageWindowTest, TypedGainsAndFrequenciesAreStoredSentAndShownAsStored)
{
    makeWindow();
    connectAndRead();
    auto* gain = control<QLineEdit>("edt_op3eq_gain_02");
    QTest::mouseClick(gain, Qt::LeftButton);
    QTest::keyClick(gain, Qt::Key_A, Qt::ControlModifier);
    QString typed;
    for (const char c : std::string_view("-4.0")) {
        QTest::keyClick(gain, c);
        typed += QLatin1Char(c);
        EXPECT_EQ(gain->text(), typed);
    }
    EXPECT_EQ(chunkWrittenBy([&] { QTest::keyClick(gain, Qt::Key_Return); }), std::pair(0, 4));
    const int at = frame::kHeadSize + kBandGain;
    EXPECT_EQ(eqGainAt(lastWrite[std::size_t(at)] | lastWrite[std::size_t(at) + 1] << 8), -4.0);
    EXPECT_EQ(std::pair(gain->text(), eqGainAt(model().code16(bandRecord(0, 2) + kBandGain))),
              std::pair(QString("-4.0"), -4.0));
    // Values exactly on a step, and an emptied box.
    for (const auto& [name, entry, shown] : {std::tuple{"edt_op3eq_gain_03", "4", "4.0"},
                                             {"edt_op3hpf_freq", "20100", "20100.0"},
                                             {"edt_op3eq_gain_04", "", "0.0"}}) {
        type(name, entry);
        EXPECT_EQ(text(name), shown) << name;
    }
}
