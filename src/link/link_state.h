#pragma once
// Connection state shared by the codec, the receiver, the transports and the session.

namespace talvex {

inline constexpr int kNoMatchedDevice = 100;
inline constexpr int kPortNone = -1;
inline constexpr int kPortFailed = 0;
inline constexpr int kPortUsb = 100;

struct LinkState {
    bool connected = false;
    bool usbMode = false;                 // the matched HID device is the transport
    int matchedDevice = kNoMatchedDevice; // position in the HID device list, 100 = none
    int currentPort = kPortNone;          // COM number, -1 none, 0 failed, 100 USB
    int noReplyCount = 0;                 // watchdog ticks since the last complete reply
};

} // namespace talvex
