#pragma once
// Which link carries the session's frames. Only the session changes it; the
// codec and the transports read it.

namespace talvex {

inline constexpr int kNoMatchedDevice = 100;
inline constexpr int kPortNone = -1;
inline constexpr int kPortFailed = 0;
inline constexpr int kPortUsb = 100;

enum class LinkState {
    Closed, // nothing carries frames (also while a port is being opened)
    Bus,    // the serial port or the network gateway: a session's, or a search's
    Usb,    // the USB amplifier this editor holds
};

} // namespace talvex
