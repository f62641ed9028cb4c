// The strip in the whole window against the virtual amplifier over a pty: what
// reaches the wire.

#include "support/window.h"

#include "model/parameter_model.h"

using namespace talvex;
using namespace talvex::testing;

namespace {

// The writes of one chunk the amplifier received, in order.
std::vector<Bytes> writesOf(const std::vector<Bytes>& frames, int command, int subIndex)
{
    std::vector<Bytes> writes;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(writes), [&](const Bytes& f) {
        return f.size() > 10 && isWrite(f) && commandAndSubIndexOf(f) == std::pair(command, subIndex);
    });
    return writes;
}

int metersAfter(const std::vector<Bytes>& frames, std::size_t from)
{
    return int(std::count_if(frames.begin() + std::ptrdiff_t(from), frames.end(),
                             [](const Bytes& f) { return commandOf(f) == frame::kCmdMeters; }));
}

} // namespace

using StripWindowTest = WindowTest;

TEST_F(StripWindowTest, MuteClicksGoOutOncePerTick)
{
    makeWindow();
    QAbstractButton* mute = button("btn_op0_mute");
    mute->click(); // before the first group: the button and the image change, nothing is sent
    EXPECT_EQ(model().image[144], 1);
    EXPECT_EQ(face("btn_op0_mute"), QColor(255, 0, 0));
    connectAndRead();
    EXPECT_TRUE(writesOf(frames, 1, 0).empty());
    EXPECT_EQ(model().image[144], 0); // the device's value replaced it
    // A tick between the two clicks: two writes of chunk 18, muted then unmuted.
    QTest::mouseClick(mute, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return writesOf(frames, 1, 0).size() == 1; }, 2000));
    EXPECT_EQ(amp.image()[144], 1);
    QTest::mouseClick(mute, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return writesOf(frames, 1, 0).size() == 2; }, 2000));
    auto writes = writesOf(frames, 1, 0);
    EXPECT_EQ(std::tuple(writes[0][10], writes[1][10]), std::tuple(1, 0));
    EXPECT_EQ(amp.image()[144], 0);
    // Both clicks between the same two ticks: one write with the final value.
    const std::size_t before = frames.size();
    mute->click();
    mute->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return metersAfter(frames, before) >= 2; }, 3000));
    writes = writesOf({frames.begin() + before, frames.end()}, 1, 0);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][10], 0);
    EXPECT_EQ(amp.image()[144], 0);
}
