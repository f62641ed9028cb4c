#pragma once
// Joins the amplifier's USB input reports into reply frames. A reply comes as a
// header report (the frame's 10-byte head; the rest of that report is
// ignored), then as many 64-byte reports as the payload needs, the last one
// holding the rest of the payload, the checksum and the end byte (its unused
// bytes are ignored). A report that is not a frame head while no frame is
// being joined is dropped; so is a head whose frame can never complete (a
// payload of 64n + 63 bytes would need 65 bytes in its last report, and a
// frame longer than kByteLimit is no reply), and a short last report drops
// the frame it ends. No Qt: the USB link feeds it on the user-interface thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace talvex {

class UsbReportAssembler {
public:
    // No reply frame is longer than this.
    static constexpr std::size_t kByteLimit = 1000;
    static constexpr std::size_t kReportData = 64;

    // One input report (its data bytes, no report id). Returns the frame this
    // report completes, from its first start byte to its end byte.
    std::optional<std::vector<std::uint8_t>> addReport(std::span<const std::uint8_t> report);
    // A frame is being joined.
    bool joining() const { return joining_; }
    // Forgets a frame being joined (the link ended, or a new conversation starts).
    void reset();

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t payloadLength_ = 0;
    std::size_t dataReports_ = 0; // reports taken after the header report
    bool joining_ = false;
};

} // namespace talvex
