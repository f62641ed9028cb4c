#pragma once
// Device logic of the virtual amplifier: command frames in, reply frames out.
// A VirtualBus carries several amplifiers the way an RS-485 bus does: each
// answers only its own address; address 255 applies writes on every device and
// nobody replies.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvex::vamp {

inline constexpr const char* kBadIdentification = "KORVEN2Q7 V2.0.9        ";
inline constexpr int kStoredGroups = 20;

struct Faults {
    bool silent = false;        // receives and applies, never replies
    bool badIdentification = false;
    int dropStoredGroupReply = 0; // the reply to the read of this stored group (1..20) is lost
};

class VirtualAmplifier {
public:
    explicit VirtualAmplifier(int deviceId, Faults faults = {});

    int deviceId() const { return system_[3]; }
    int address() const { return system_[3] - 1; }

    // Handles one well-formed command frame addressed to this device (or to
    // 255); returns the reply frame bytes, or nothing.
    std::optional<std::vector<std::uint8_t>> handle(std::uint8_t address, std::uint8_t operation,
                                                     std::uint8_t index, std::uint8_t command,
                                                     std::uint8_t subIndex,
                                                     std::span<const std::uint8_t> payload);

    std::array<std::uint8_t, 640>& image() { return image_; }
    std::array<std::uint8_t, 48>& systemRecord() { return system_; }
    std::array<std::array<std::uint8_t, 20>, 20>& presetNames() { return names_; }
    std::array<std::uint8_t, 640>& storedGroup(int group) { return stored_[std::size_t(group - 1)]; }

    // The meter values move a little on every meter read.
    int temperatureRaw() const { return temperatureRaw_; }
    int attenuation() const { return attenuation_; }

private:
    std::vector<std::uint8_t> reply(std::uint8_t index, std::uint8_t command,
                                    std::span<const std::uint8_t> payload) const;
    std::vector<std::uint8_t> meters();

    Faults faults_;
    std::array<std::uint8_t, 640> image_{};
    std::array<std::uint8_t, 48> system_{};
    std::array<std::array<std::uint8_t, 20>, 20> names_{};
    std::array<std::array<std::uint8_t, 640>, kStoredGroups> stored_{};
    int temperatureRaw_ = 2100;
    int temperatureStep_ = 7;
    int attenuation_ = 0;
    int meterTicks_ = 0;
};

// Several amplifiers on one line. Bytes arrive in any split; garbage before a
// frame start is skipped; frames with a wrong checksum or end byte are dropped.
class VirtualBus {
public:
    // Adds an amplifier with this Device ID (1..250).
    VirtualAmplifier& add(int deviceId, Faults faults = {});
    std::deque<VirtualAmplifier>& devices() { return devices_; }

    // Called with each complete frame received (for --verbose logging).
    std::function<void(std::span<const std::uint8_t>)> onFrame;

    // Serial side: bytes in, reply bytes out (possibly several replies).
    std::vector<std::uint8_t> feed(std::span<const std::uint8_t> bytes);
    // One whole frame in, reply bytes out.
    std::vector<std::uint8_t> handleFrame(std::span<const std::uint8_t> frame);

private:
    std::deque<VirtualAmplifier> devices_; // references stay valid as devices are added
    std::vector<std::uint8_t> pending_;
};

// The USB side: 64-byte output reports (without report id) in, 64-byte input
// reports out. A reply goes out as a header report (the ten head bytes), the
// full 64-byte pieces of its payload, and a last report with the rest of the
// payload, the checksum and 0xAA. Block writes arrive as a head report followed
// by data reports; a further report after a complete block is ignored.
class HidReportDevice {
public:
    explicit HidReportDevice(VirtualBus& bus) : bus_(bus) {}
    std::vector<std::array<std::uint8_t, 64>> outputReport(std::span<const std::uint8_t, 64> data);
    static std::vector<std::array<std::uint8_t, 64>> replyReports(std::span<const std::uint8_t> frame);

private:
    VirtualBus& bus_;
    std::vector<std::uint8_t> collecting_; // head + block bytes of a block write
    std::size_t expected_ = 0;
};

} // namespace talvex::vamp
