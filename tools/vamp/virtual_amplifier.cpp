#include "virtual_amplifier.h"

#include "link/frame.h"
#include "model/parameter_model.h"

#include <algorithm>
#include <cstring>

namespace talvex::vamp {

namespace {

constexpr const char* kFactoryNames[] = {"Club Night", "Live Band", "Speech", "Monitor Wedge"};

} // namespace

VirtualAmplifier::VirtualAmplifier(int deviceId, Faults faults) : faults_(faults)
{
    // The editor's own defaults, with a few values a connect visibly changes.
    ParameterModel defaults;
    defaults.writeDefaults();
    defaults.setCode16(kMainGain, 300);                           // Main at 0 dB
    defaults.setCode16(outputBlockStart(0) + kOutGain, 290);      // High at -2 dB
    defaults.image[outputBlockStart(1) + kOutMute] = 1;           // Mid muted
    defaults.setCode16(bandRecord(1, 2) + kBandGain, 150);        // High band 3 at +6 dB
    for (std::size_t i = 0; i < image_.size(); ++i)
        image_[i] = std::uint8_t(defaults.image[i]);
    for (auto& group : stored_)
        group = image_;

    for (std::size_t n = 0; n < std::size(kFactoryNames); ++n)
        std::memcpy(names_[n].data(), kFactoryNames[n], std::strlen(kFactoryNames[n]));
    system_[0] = 1;
    system_[3] = std::uint8_t(std::clamp(deviceId, 1, 250));
    system_[7] = 10;
}

std::vector<std::uint8_t> VirtualAmplifier::reply(std::uint8_t index, std::uint8_t command,
                                                  std::span<const std::uint8_t> payload) const
{
    frame::Frame f;
    f.address = std::uint8_t(address());
    f.operation = frame::kOpReply;
    f.index = index;
    f.command = command;
    f.payload.assign(payload.begin(), payload.end());
    return frame::encode(f);
}

std::vector<std::uint8_t> VirtualAmplifier::meters()
{
    // Temperature drifts a step every few reads and turns at the ends of its
    // range; the limiter attenuation cycles 0..6 dB.
    ++meterTicks_;
    if (meterTicks_ % 4 == 0) {
        temperatureRaw_ += temperatureStep_;
        if (temperatureRaw_ > 2600 || temperatureRaw_ < 1500)
            temperatureStep_ = -temperatureStep_;
    }
    if (meterTicks_ % 6 == 0)
        attenuation_ = (attenuation_ + 1) % 7;
    return {0, 0, std::uint8_t(temperatureRaw_ >> 8), std::uint8_t(temperatureRaw_ & 0xFF),
            std::uint8_t(attenuation_), 0, 0, 0};
}

std::optional<std::vector<std::uint8_t>> VirtualAmplifier::handle(std::uint8_t address, std::uint8_t operation,
                                                                  std::uint8_t index, std::uint8_t command,
                                                                  std::uint8_t subIndex,
                                                                  std::span<const std::uint8_t> payload)
{
    const bool broadcast = address == frame::kBroadcastAddress;
    if (!broadcast && address != this->address())
        return std::nullopt;

    std::optional<std::vector<std::uint8_t>> answer;
    if (operation == frame::kOpWrite) {
        if (command <= 3 && payload.size() == 8) {
            // Commands 0..3 write the Main, High, Mid and Low blocks.
            const int chunk = (command == 0 ? 0 : outputFirstChunk(command - 1)) + subIndex;
            const int limit = command == 0 ? 18 : 19;
            if (subIndex < limit)
                std::copy(payload.begin(), payload.end(), image_.begin() + 8 * chunk);
        } else if (command == frame::kCmdWriteSystemRecord && payload.size() == 8) {
            std::copy(payload.begin(), payload.end(), system_.begin());
            system_[3] = std::uint8_t(std::clamp<int>(system_[3], 1, 250));
        } else if (command == frame::kCmdWritePresetName && payload.size() == 20 && index >= 1 && index <= 20) {
            // The preset "Save": the working group is stored under that preset with its name.
            std::copy(payload.begin(), payload.end(), names_[index - 1].begin());
            stored_[index - 1] = image_;
            system_[0] = index;
        } else if (command == frame::kCmdCurrentGroup && payload.size() == 640) {
            std::copy(payload.begin(), payload.end(), image_.begin());
        } else if (command == frame::kCmdStoredGroup && payload.size() == 640 && index >= 1 && index <= 20) {
            std::copy(payload.begin(), payload.end(), stored_[index - 1].begin());
        }
    } else if (operation == frame::kOpRead) {
        switch (command) {
        case frame::kCmdIdentification: {
            const char* text = faults_.badIdentification ? kBadIdentification : frame::kIdentification;
            answer = reply(index, command, std::span(reinterpret_cast<const std::uint8_t*>(text), 24));
            break;
        }
        case frame::kCmdReadPresetNames: {
            std::vector<std::uint8_t> data;
            for (const auto& name : names_)
                data.insert(data.end(), name.begin(), name.end());
            answer = reply(index, command, data);
            break;
        }
        case frame::kCmdReadSystemRecord:
            answer = reply(index, command, system_);
            break;
        case frame::kCmdCurrentGroup:
            if (index >= 1 && index <= 20) { // recall preset n
                image_ = stored_[index - 1];
                system_[0] = index;
            }
            answer = reply(index, command, image_);
            break;
        case frame::kCmdStoredGroup:
            if (index >= 1 && index <= 20 && index != faults_.dropStoredGroupReply)
                answer = reply(index, command, stored_[index - 1]);
            break;
        case frame::kCmdMeters:
            answer = reply(index, command, meters());
            break;
        default:
            break;
        }
    }
    if (broadcast || faults_.silent)
        return std::nullopt;
    return answer;
}

VirtualAmplifier& VirtualBus::add(int deviceId, Faults faults)
{
    devices_.emplace_back(deviceId, faults);
    return devices_.back();
}

std::vector<std::uint8_t> VirtualBus::handleFrame(std::span<const std::uint8_t> bytes)
{
    frame::Decoded decoded;
    if (frame::decode(bytes, decoded) != frame::DecodeStatus::Complete || !decoded.checksumOk)
        return {};
    if (onFrame)
        onFrame(bytes.first(decoded.consumed));
    const frame::Frame& f = decoded.frame;
    std::vector<std::uint8_t> out;
    for (VirtualAmplifier& device : devices_) {
        // Each device judges the address it had when the frame arrived.
        if (auto answer = device.handle(f.address, f.operation, f.index, f.command, f.subIndex, f.payload))
            out.insert(out.end(), answer->begin(), answer->end());
    }
    return out;
}

std::vector<std::uint8_t> VirtualBus::feed(std::span<const std::uint8_t> bytes)
{
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<std::uint8_t> out;
    for (;;) {
        // Skip anything before a frame start.
        std::size_t start = 0;
        while (start < pending_.size() && pending_[start] != frame::kStart)
            ++start;
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(start));
        if (pending_.empty())
            break;
        // No command is longer than a block write: a bigger length is line noise.
        if (pending_.size() >= frame::kHeadSize &&
            (std::size_t(pending_[8]) << 8 | pending_[9]) > frame::kGroupSize) {
            pending_.erase(pending_.begin());
            continue;
        }
        frame::Decoded decoded;
        const frame::DecodeStatus status = frame::decode(pending_, decoded);
        if (status == frame::DecodeStatus::NeedMore)
            break;
        if (status == frame::DecodeStatus::Invalid) {
            pending_.erase(pending_.begin()); // resynchronise on the next start byte
            continue;
        }
        auto answer = handleFrame(std::span(pending_).first(decoded.consumed));
        out.insert(out.end(), answer.begin(), answer.end());
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(decoded.consumed));
    }
    return out;
}

std::vector<std::array<std::uint8_t, 64>> HidReportDevice::replyReports(std::span<const std::uint8_t> frameBytes)
{
    std::vector<std::array<std::uint8_t, 64>> reports;
    if (frameBytes.size() < frame::kOverhead)
        return reports;
    std::array<std::uint8_t, 64> report{};
    std::copy_n(frameBytes.begin(), frame::kHeadSize, report.begin());
    reports.push_back(report);
    // Payload, checksum and end byte in 64-byte pieces; the last piece is the short one.
    const auto rest = frameBytes.subspan(frame::kHeadSize);
    for (std::size_t at = 0; at < rest.size(); at += 64) {
        report.fill(0);
        const std::size_t count = std::min<std::size_t>(64, rest.size() - at);
        std::copy_n(rest.begin() + std::ptrdiff_t(at), count, report.begin());
        reports.push_back(report);
    }
    return reports;
}

std::vector<std::array<std::uint8_t, 64>> HidReportDevice::outputReport(std::span<const std::uint8_t, 64> data)
{
    std::vector<std::uint8_t> replyBytes;
    const bool head = data[0] == frame::kStart && data[1] == frame::kStart && data[2] == frame::kStart;
    if (expected_ == 0 && head) {
        const std::size_t length = std::size_t(data[8]) << 8 | data[9];
        const std::size_t total = length + frame::kOverhead;
        if (total <= 64) {
            replyBytes = bus_.handleFrame(data.first(total));
        } else {
            // A block write: the head came alone, the data reports follow.
            collecting_.assign(data.begin(), data.begin() + frame::kHeadSize);
            expected_ = total;
        }
    } else if (expected_ > 0) {
        const std::size_t count = std::min<std::size_t>(64, expected_ - collecting_.size());
        collecting_.insert(collecting_.end(), data.begin(), data.begin() + std::ptrdiff_t(count));
        if (collecting_.size() == expected_) {
            replyBytes = bus_.handleFrame(collecting_);
            collecting_.clear();
            expected_ = 0;
        }
    }
    // Other reports (such as the repeat after a block) are ignored.
    std::vector<std::array<std::uint8_t, 64>> out;
    // Replies of several devices would be separate frames; one device sits on USB.
    while (replyBytes.size() >= frame::kOverhead) {
        frame::Decoded decoded;
        if (frame::decode(replyBytes, decoded) != frame::DecodeStatus::Complete)
            break;
        auto reports = replyReports(std::span(replyBytes).first(decoded.consumed));
        out.insert(out.end(), reports.begin(), reports.end());
        replyBytes.erase(replyBytes.begin(), replyBytes.begin() + std::ptrdiff_t(decoded.consumed));
    }
    return out;
}

} // namespace talvex::vamp
