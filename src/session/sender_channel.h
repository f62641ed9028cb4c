#pragma once
// The part of the device channel that rests on the command sender: whether the
// link is open, the device addressed (broadcast mode, the device chosen), the
// frames of a transfer, and the pauses. Whoever owns the link drops the pauses
// (cancelPauses) when it closes; the send pulse, the watchdog and the progress
// panel are the owner's too.

#include "link/command_sender.h"
#include "link/link_state.h"
#include "session/device_channel.h"
#include "session/pauses.h"

namespace talvex {

class SenderChannel : public DeviceChannel {
public:
    // Only keeps the references: `sender` and `link` may still be under construction.
    SenderChannel(CommandSender& sender, const LinkState& link, Clock& clock);

    bool linkOpen() const override;
    bool broadcasting() const override;
    void setBroadcast(bool on) override;
    int deviceAddress() const override;
    void chooseDevice(int address) override;
    void sendRead(int index, int command) override;
    void readBackCurrentGroup() override;
    void sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data) override;
    void setPresetNameWriter(std::function<void()> writer) override;
    void sendPresetName() override;
    void after(int ms, std::function<void()> then) override;
    void cancelPauses() override;

private:
    CommandSender& channelSender_;
    const LinkState& channelLink_;
    Pauses pauses_;
};

} // namespace talvex
