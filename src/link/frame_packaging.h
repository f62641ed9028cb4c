#pragma once
// How an encoded frame is cut for the wire. A frame that fits one USB report goes
// out whole; a longer one (a block write) goes as its ten head bytes, then the
// rest. The serial link writes each part as it is; the USB link puts each part
// into 65-byte output reports.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace talvex {

inline constexpr std::size_t kHidReportSize = 65; // report id 0, then 64 data bytes
inline constexpr std::size_t kHidReportData = kHidReportSize - 1;
using HidReport = std::array<std::uint8_t, kHidReportSize>;

// The parts a frame is written in, in order: the whole frame, or for a frame
// longer than one report's data its head and then everything after the head.
std::vector<std::span<const std::uint8_t>> frameParts(std::span<const std::uint8_t> frame);

// The output reports one part travels in. A part that fits one report is that
// report, zero after the part. A longer part is cut into 64-byte pieces, one
// report each (zero after a short last piece), and the last report goes once more.
std::vector<HidReport> hidReports(std::span<const std::uint8_t> part);

} // namespace talvex
