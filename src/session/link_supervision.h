#pragma once
// The session's send pulse (the send scheduler's tick) and its watchdog as a
// transfer sees them: stopped while the transfer runs, running again once it
// has ended.

namespace talvex {

class LinkSupervision {
public:
    virtual ~LinkSupervision() = default;
    virtual void stopSendPulse() = 0;
    virtual void startSendPulse() = 0;
    virtual void stopWatchdog() = 0;
    virtual void startWatchdog() = 0;

    // Both stopped (send pulse first) / both running again (send pulse first).
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
};

} // namespace talvex
