#include "session/sender_channel.h"

#include "link/frame.h"

namespace talvex {

SenderChannel::SenderChannel(CommandSender& sender, const LinkState& link, Clock& clock)
    : channelSender_(sender), channelLink_(link), pauses_(clock)
{
}

bool SenderChannel::linkOpen() const { return channelLink_ != LinkState::Closed; }

bool SenderChannel::broadcasting() const { return channelSender_.broadcast; }

void SenderChannel::setBroadcast(bool on)
{
    if (linkOpen())
        return;
    channelSender_.broadcast = on;
    channelSender_.deviceAddress = on ? frame::kBroadcastAddress : channelSender_.selectedAddress();
}

int SenderChannel::deviceAddress() const { return channelSender_.deviceAddress; }

void SenderChannel::chooseDevice(int address)
{
    // Over an open link the session moves the address once the waiting edits
    // are out; in broadcast mode writes keep going to all.
    if (!channelSender_.broadcast && !linkOpen())
        channelSender_.deviceAddress = address;
}

void SenderChannel::sendRead(int index, int command) { channelSender_.sendRead(index, command, 0); }

void SenderChannel::readBackCurrentGroup()
{
    if (!linkOpen())
        return; // an override set now would send some later read astray
    if (channelSender_.broadcast)
        channelSender_.readBackOverride = true; // this read alone goes to the chosen device
    channelSender_.sendRead(0, frame::kCmdCurrentGroup, 0);
}

void SenderChannel::sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data)
{
    channelSender_.sendBlockWrite(index, command, data);
}

void SenderChannel::setPresetNameWriter(std::function<void()> writer)
{
    channelSender_.setPresetNameWriter(std::move(writer));
}

void SenderChannel::sendPresetName() { channelSender_.sendPresetName(); }

void SenderChannel::after(int ms, std::function<void()> then) { pauses_.after(ms, std::move(then)); }

void SenderChannel::cancelPauses() { pauses_.dropAll(); }

} // namespace talvex
