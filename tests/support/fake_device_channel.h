#pragma once
// The session's channel to the device for the feature tests: the command
// sender's part is the program's own (on the test's sender, link state and
// clock); the send pulse, the watchdog and the progress panel are flags.

#include "session/sender_channel.h"

#include <vector>

namespace talvex::testing {

class FakeDeviceChannel final : public SenderChannel {
public:
    FakeDeviceChannel(CommandSender& sender, LinkState& link, Clock& clock)
        : SenderChannel(sender, link, clock), link_(link)
    {
    }
    void stopSendPulse() override { sendPulse = false; }
    void startSendPulse() override { sendPulse = true; }
    void stopWatchdog() override { watchdog = false; }
    void startWatchdog() override { watchdog = true; }
    void showProgress(bool animate) override
    {
        progressShown = true;
        progressAnimated = animate;
        bar = 0;
    }
    void hideProgress() override { progressShown = false; }
    void setProgress(int percent) override { bar = percent; }
    void after(int ms, std::function<void()> then) override
    {
        pauses.push_back(ms);
        SenderChannel::after(ms, std::move(then));
    }
    // The link closes, as the session closes it: pauses still waiting are dropped.
    void closeLink()
    {
        link_ = LinkState::Closed;
        cancelPauses();
    }

    bool sendPulse = true; // idle and connected: both run
    bool watchdog = true;
    bool progressShown = false;
    bool progressAnimated = false;
    int bar = -1;
    std::vector<int> pauses; // every pause asked for, in order

private:
    LinkState& link_;
};

} // namespace talvex::testing
