#include "link/frame_packaging.h"

#include "link/frame.h"

#include <algorithm>

namespace talvex {

std::vector<std::span<const std::uint8_t>> frameParts(std::span<const std::uint8_t> frame)
{
    if (frame.size() <= kHidReportData)
        return {frame};
    return {frame.first(frame::kHeadSize), frame.subspan(frame::kHeadSize)};
}

std::vector<HidReport> hidReports(std::span<const std::uint8_t> part)
{
    std::vector<HidReport> reports;
    reports.reserve(part.size() / kHidReportData + 2);
    for (std::size_t start = 0; start < part.size() || reports.empty(); start += kHidReportData) {
        HidReport report{};
        const std::size_t count = std::min(kHidReportData, part.size() - start);
        std::copy_n(part.begin() + std::ptrdiff_t(start), count, report.begin() + 1);
        reports.push_back(report);
    }
    // The block sequence ends with its last report written a second time.
    if (part.size() > kHidReportData)
        reports.push_back(reports.back());
    return reports;
}

} // namespace talvex
