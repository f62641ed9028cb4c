#include "link/usb_report_assembler.h"

#include "link/frame.h"

#include <algorithm>

namespace talvex {

namespace {

bool startsWithFrameStart(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 3 &&
           std::all_of(bytes.begin(), bytes.begin() + 3, [](std::uint8_t b) { return b == frame::kStart; });
}

} // namespace

void UsbReportAssembler::reset()
{
    bytes_.clear();
    joining_ = false;
}

std::optional<std::vector<std::uint8_t>> UsbReportAssembler::addReport(std::span<const std::uint8_t> report)
{
    if (!joining_) {
        bytes_.clear();
        if (report.size() > kByteLimit || report.size() < frame::kHeadSize || !startsWithFrameStart(report))
            return std::nullopt;
        const std::size_t length = *frame::frameSize(report) - frame::kOverhead;
        if (length % kReportData == kReportData - 1 || length + frame::kOverhead > kByteLimit)
            return std::nullopt; // cannot complete: the reports that follow are taken as heads again
        bytes_.assign(report.begin(), report.begin() + frame::kHeadSize);
        payloadLength_ = length;
        dataReports_ = 0;
        joining_ = true;
        return std::nullopt;
    }
    ++dataReports_;
    if (dataReports_ <= payloadLength_ / kReportData) {
        bytes_.insert(bytes_.end(), report.begin(), report.end());
        return std::nullopt;
    }
    // The last report: the rest of the payload, the checksum and the end byte.
    const std::size_t wanted = payloadLength_ % kReportData + 2;
    bytes_.insert(bytes_.end(), report.begin(), report.begin() + std::ptrdiff_t(std::min(wanted, report.size())));
    joining_ = false;
    std::vector<std::uint8_t> whole = std::move(bytes_);
    bytes_.clear();
    if (whole.size() != payloadLength_ + frame::kOverhead)
        return std::nullopt; // a short last report: the frame is incomplete
    return whole;
}

} // namespace talvex
