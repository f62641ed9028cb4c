#pragma once
// Builds command frames, chooses the device address each frame carries, and
// hands the encoded frame to the active transport with its place on a shared
// bus: writes and the send tick's meter reads first, then reads in a chain or a
// transfer, then the polls of other devices. Also the send scheduler: one
// pending chunk per tick, or a meter read.

#include "link/frame.h"
#include "link/frame_transport.h"
#include "link/link_state.h"
#include "model/parameter_model.h"

#include <cstdint>
#include <functional>
#include <span>

namespace talvex {

class CommandSender {
public:
    CommandSender(ParameterModel& model, const LinkState& link);

    void setTransport(FrameTransport* transport) { transport_ = transport; }
    // Item index of the Device ID selector (the selected device's address), as
    // the user's choice changes.
    void setSelectedAddress(int address) { selectedAddress_ = address; }
    int selectedAddress() const { return selectedAddress_; }
    // Runs for each chunk written in broadcast mode (no device answers it, so
    // the owner of the link state keeps the no-reply count quiet).
    void setBroadcastWriteObserver(std::function<void()> observer) { broadcastWritten_ = std::move(observer); }
    // Runs for pending flag 78 instead of the bare name write, so the window can
    // wrap the frame in its pauses and message.
    void setPresetNameWriter(std::function<void()> writer) { presetNameWriter_ = std::move(writer); }

    // Address state.
    int deviceAddress = 0;
    bool broadcast = false;
    bool readBackOverride = false;

    // All of these send nothing while the link is down.
    // A read request.
    void sendRead(int index, int command, int subIndex, BusPriority priority = BusPriority::Chain);
    // A read to this address whatever the address state says (the bus
    // overview's polls of the other devices); leaves the read-back override alone.
    void sendReadTo(int address, int index, int command, int subIndex, BusPriority priority = BusPriority::Poll);
    // A write of the low bytes of eight entries.
    void sendEightByteWrite(int index, int command, int subIndex, std::span<const int, 8> values);
    // The frame a pending-write flag stands for.
    void sendChunk(int chunk);
    // The name of the preset system-record entry 0 names.
    void sendPresetName();
    // Block write of one group: the transport sends the head alone, then the 640
    // bytes with checksum (over head and data) and end byte. The caller checks the link is up.
    void sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data);

    // Tick of the send-pulse timer: the lowest pending chunk, or a meter read
    // when nothing is pending. On a shared bus every second tick that writes a
    // chunk is followed by a meter read as well, so a long edit still hears the
    // device (and its silence) at least once a second. Writes get no reply, so
    // over USB a long run of them (a match or an A/B switch writes up to eleven
    // chunks) would starve the watchdog (13 silent 250 ms ticks end the link):
    // there, after kWritesBetweenReads writes in a row one tick reads the meters.
    void sendNextChunkOrMeterRead();
    static constexpr int kWritesBetweenReads = 6;

private:
    // The address the next frame carries; takes the one-shot read-back override.
    std::uint8_t nextAddress(int command);
    void send(int operation, int index, int command, int subIndex, std::span<const std::uint8_t> payload,
              BusPriority priority);
    void transmit(std::uint8_t address, int operation, int index, int command, int subIndex,
                  std::span<const std::uint8_t> payload, BusPriority priority);

    ParameterModel& model_;
    const LinkState& link_;
    FrameTransport* transport_ = nullptr;
    int selectedAddress_ = 0;
    std::function<void()> presetNameWriter_;
    std::function<void()> broadcastWritten_;
    int chunkTicksWithoutMeterRead_ = 0;
    int writesInARow_ = 0; // chunk writes since the last meter read of the scheduler
};

} // namespace talvex
