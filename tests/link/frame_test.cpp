#include "link/frame.h"
#include "link/frame_packaging.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace talvex;
using Bytes = std::vector<std::uint8_t>;

TEST(Frame, EncodeAndDecodeAgree)
{
    const Bytes bytes = frame::encode({6, frame::kOpReply, 3, frame::kCmdMeters, 0, {9, 8, 7}});
    EXPECT_EQ(bytes.size(), 15u);
    frame::Decoded d;
    EXPECT_EQ(frame::decode(Bytes(bytes.begin(), bytes.end() - 1), d), frame::DecodeStatus::NeedMore);
    ASSERT_EQ(frame::decode(bytes, d), frame::DecodeStatus::Complete);
    EXPECT_EQ(std::tuple(d.checksumOk, d.consumed, d.frame.address, d.frame.payload),
              std::tuple(true, bytes.size(), 6, Bytes{9, 8, 7}));

    Bytes bad = bytes;
    bad[11] ^= 1;
    ASSERT_EQ(frame::decode(bad, d), frame::DecodeStatus::Complete);
    EXPECT_FALSE(d.checksumOk);
    bad.back() = 0x55;
    EXPECT_EQ(frame::decode(bad, d), frame::DecodeStatus::Invalid);
    EXPECT_EQ(frame::decode(Bytes{0xA5, 0x00}, d), frame::DecodeStatus::Invalid);
}

// A frame that fits one report goes whole; a longer one as its head and then the
// rest, each part in reports of 64 data bytes with the last report repeated.
TEST(FramePackaging, PartsAndReports)
{
    struct Case {
        std::size_t payload;
        std::vector<std::size_t> partSizes;
        std::vector<std::size_t> reportCounts;
    };
    for (const Case& c : {Case{0, {12}, {1}}, Case{52, {64}, {1}}, Case{53, {10, 55}, {1, 1}},
                          Case{640, {10, 642}, {1, 12}}}) {
        SCOPED_TRACE(c.payload);
        Bytes payload(c.payload);
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = std::uint8_t(i + 1);
        const Bytes whole = frame::encode({0, frame::kOpWrite, 0, frame::kCmdCurrentGroup, 0, payload});
        const auto parts = frameParts(whole);
        ASSERT_EQ(parts.size(), c.partSizes.size());
        Bytes sent;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            EXPECT_EQ(parts[p].size(), c.partSizes[p]);
            const auto reports = hidReports(parts[p]);
            ASSERT_EQ(reports.size(), c.reportCounts[p]);
            const std::size_t pieces = reports.size() > 1 ? reports.size() - 1 : 1;
            for (std::size_t r = 0; r < pieces; ++r) {
                EXPECT_EQ(reports[r][0], 0); // report id
                const std::size_t count = std::min<std::size_t>(64, parts[p].size() - 64 * r);
                sent.insert(sent.end(), reports[r].begin() + 1, reports[r].begin() + 1 + std::ptrdiff_t(count));
                EXPECT_TRUE(std::all_of(reports[r].begin() + 1 + std::ptrdiff_t(count), reports[r].end(),
                                        [](std::uint8_t b) { return b == 0; }));
            }
            if (reports.size() > 1) {
                EXPECT_EQ(reports.back(), reports[reports.size() - 2]);
            }
        }
        EXPECT_EQ(sent, whole);
    }
}
