#pragma once
// What device administration and the preset and group transfers may ask of the
// session, and nothing more: whether the link is open, which device the frames
// go to (broadcast mode, the device chosen), the frames of a transfer, holding
// the send pulse and the watchdog around it, the progress panel, and pauses
// that a closing link drops.
//
// Frames go to the device the session addresses now: in broadcast mode writes
// go to every device (address 255) while meter reads and read-backs come from
// the chosen device. Nothing is sent while the link is closed, except that a
// block write leaves that check to its caller.

#include <cstdint>
#include <functional>
#include <span>

namespace talvex {

class DeviceChannel {
public:
    virtual ~DeviceChannel() = default;

    // The link is open and frames may go.
    virtual bool linkOpen() const = 0;

    // --- the device addressed
    virtual bool broadcasting() const = 0;
    // Broadcast mode on (frames to address 255) or off (frames to the chosen
    // device again). Only while the link is closed: ignored while it is open.
    virtual void setBroadcast(bool on) = 0;
    // The address (Device ID - 1) the next frame carries; 255 in broadcast mode.
    virtual int deviceAddress() const = 0;
    // The user chose the device at `address`. With the link closed and
    // broadcast mode off, frames go to it from now on; an open link moves to
    // it only once waiting edits have gone to the device on screen.
    virtual void chooseDevice(int address) = 0;

    // --- the frames of a transfer
    virtual void sendRead(int index, int command) = 0;
    // The current group (read 40) from the chosen device alone, also in broadcast mode.
    virtual void readBackCurrentGroup() = 0;
    // A block write of 640 bytes (the head first, then the block); the caller checks that the link is open.
    virtual void sendBlockWrite(int index, int command, std::span<const std::uint8_t, 640> data) = 0;
    // The send pulse hands the queued preset-name write to `writer`, which
    // sends it with sendPresetName() inside its own pauses.
    virtual void setPresetNameWriter(std::function<void()> writer) = 0;
    virtual void sendPresetName() = 0;

    // --- the send pulse (edits and meter reads) and the no-reply watchdog,
    // held while a transfer must not be interleaved or would look like silence.
    virtual void stopSendPulse() = 0;
    virtual void startSendPulse() = 0;
    virtual void stopWatchdog() = 0;
    virtual void startWatchdog() = 0;
    // Both held (send pulse first) / both running again (send pulse first).
    void pauseSupervision()
    {
        stopSendPulse();
        stopWatchdog();
    }
    void resumeSupervision()
    {
        startSendPulse();
        startWatchdog();
    }

    // --- the transfer progress panel: shown with the bar at 0 % (`animate`:
    // with the view's ten-second animation), hidden, or its bar set.
    virtual void showProgress(bool animate) = 0;
    virtual void hideProgress() = 0;
    virtual void setProgress(int percent) = 0;

    // `then` runs once `ms` have passed on the session's clock, unless the link
    // closes meanwhile: then it is dropped, even if a new link is open when the
    // time is up.
    virtual void after(int ms, std::function<void()> then) = 0;
    // Drops every pause still waiting (whoever asked for them is going away).
    virtual void cancelPauses() = 0;
};

} // namespace talvex
