#include "link/command_sender.h"

#include <array>

namespace talvex {

CommandSender::CommandSender(ParameterModel& model, const LinkState& link)
    : model_(model), link_(link)
{
}

std::uint8_t CommandSender::nextAddress(int command)
{
    int address = deviceAddress;
    if (command == frame::kCmdMeters && broadcast)
        address = selectedAddress_; // meters always come from the selected device
    if (readBackOverride) {
        readBackOverride = false;
        address = selectedAddress_;
    }
    return std::uint8_t(address);
}

void CommandSender::send(int operation, int index, int command, int subIndex, std::span<const std::uint8_t> payload,
                         BusPriority priority)
{
    transmit(nextAddress(command), operation, index, command, subIndex, payload, priority);
}

void CommandSender::transmit(std::uint8_t address, int operation, int index, int command, int subIndex,
                             std::span<const std::uint8_t> payload, BusPriority priority)
{
    const frame::Frame f{address, std::uint8_t(operation), std::uint8_t(index), std::uint8_t(command),
                         std::uint8_t(subIndex), {payload.begin(), payload.end()}};
    const auto bytes = frame::encode(f);
    if (transport_)
        transport_->submitFrame(bytes, priority);
}

void CommandSender::sendRead(int index, int command, int subIndex, BusPriority priority)
{
    if (link_ == LinkState::Closed)
        return;
    send(frame::kOpRead, index, command, subIndex, {}, priority);
}

void CommandSender::sendReadTo(int address, int index, int command, int subIndex, BusPriority priority)
{
    if (link_ == LinkState::Closed)
        return;
    transmit(std::uint8_t(address), frame::kOpRead, index, command, subIndex, {}, priority);
}

void CommandSender::sendEightByteWrite(int index, int command, int subIndex, std::span<const int, 8> values)
{
    if (link_ == LinkState::Closed)
        return;
    std::array<std::uint8_t, 8> payload{};
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = std::uint8_t(values[i] & 0xFF);
    send(frame::kOpWrite, index, command, subIndex, payload, BusPriority::Edit);
}

void CommandSender::sendPresetName()
{
    if (link_ == LinkState::Closed)
        return;
    const int preset = model_.systemRecord[0];
    // Entry 0 is 1..20 whenever a save queued this write; anything else reads row 1.
    const auto& name = model_.presetNames[preset >= 1 && preset <= kPresetCount ? preset - 1 : 0];
    send(frame::kOpWrite, preset, frame::kCmdWritePresetName, 0, name, BusPriority::Edit);
}

void CommandSender::sendChunk(int chunk)
{
    if (broadcast && broadcastWritten_)
        broadcastWritten_();
    int command = -1;
    int subIndex = 0;
    if (chunk >= 0 && chunk <= 17) {
        command = 0;
        subIndex = chunk;
    } else if (chunk >= 18 && chunk <= 36) {
        command = 1;
        subIndex = chunk - 18;
    } else if (chunk >= 37 && chunk <= 55) {
        command = 2;
        subIndex = chunk - 37;
    } else if (chunk >= 56 && chunk <= 74) {
        command = 3;
        subIndex = chunk - 56;
    }
    if (command >= 0) {
        sendEightByteWrite(0, command, subIndex, std::span<const int, 8>(&model_.image[8 * chunk], 8));
    } else if (chunk == kPresetNameChunk) {
        if (presetNameWriter_)
            presetNameWriter_();
        else
            sendPresetName();
    } else if (chunk == kSystemRecordChunk) {
        sendEightByteWrite(0, frame::kCmdWriteSystemRecord, 0, std::span<const int, 8>(model_.systemRecord.data(), 8));
        // The device answers at its new ID from now on, in broadcast mode too.
        deviceAddress = model_.systemRecord[3] - 1;
    }
    // 75, 76, 77, 80, 81: nothing to send.
}

void CommandSender::sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data)
{
    send(frame::kOpWrite, index, command, 0, data, BusPriority::Chain);
}

void CommandSender::sendNextChunkOrMeterRead()
{
    if (link_ == LinkState::Closed)
        return;
    const int chunk = model_.lowestPending();
    const bool sharedBus = transport_ && !transport_->usbActive();
    // Over USB nothing else reads between writes: after kWritesBetweenReads
    // writes in a row one tick reads the meters instead.
    if (chunk >= 0 && (sharedBus || writesInARow_ < kWritesBetweenReads)) {
        sendChunk(chunk);
        model_.pending[chunk] = false;
        ++writesInARow_;
        if (!sharedBus || ++chunkTicksWithoutMeterRead_ < 2)
            return;
    }
    writesInARow_ = 0;
    chunkTicksWithoutMeterRead_ = 0;
    sendRead(0, frame::kCmdMeters, 0, BusPriority::Edit);
}

} // namespace talvex
