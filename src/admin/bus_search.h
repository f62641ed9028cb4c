#pragma once
// Device ID search on the serial bus. Every port of the list is opened in turn
// (from the last item backwards) and every address probed with a meter read; an
// address counts as found when a meter reply from that very address arrives
// within the probe's 100 ms. The full search ("search device id") probes
// addresses 0..250; the quick search, run once shortly after start-up, probes
// 0..10 and selects the first Device ID that answered. The result panel lists
// one line per port; after the start-up search it closes by itself after 3 s.
// The search runs on the window's timers: each probe, the gap between two
// ports and the gateway connect are steps that a reply, a timer or the user
// (cancel, a connect, the window closing) ends.

#include "session/session.h"
#include "ui/device_selection.h"
#include "ui/prompts.h"
#include "ui/views.h"

#include <QObject>

#include <array>
#include <bitset>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace talvex {

// --- result text (plain C++) ------------------------------------------------

// Which device addresses answered, per port-list item (keyed by the name the
// list shows, so it serves COM numbers and device paths alike).
class FoundTable {
public:
    void clear() { ports_.clear(); }
    void mark(const std::string& port, int address);
    bool answered(const std::string& port, int address) const;
    // The ports with answering addresses, and those addresses in ascending order.
    std::vector<std::string> ports() const;
    std::vector<int> addresses(const std::string& port) const;

private:
    std::map<std::string, std::bitset<256>> ports_;
};

// One port of the list as the result shows it.
struct SearchedPort {
    std::string name;    // as listed: "COM3", "ttyUSB0", "/dev/pts/4"
    std::string refusal; // set when the port was skipped: why it could not be used
};

// The text of the result memo: line 0 empty, then one line per port in list
// order, "COM3--Device ID:1 , 5 , " (each answering Device ID among the first
// `probedAddresses` addresses, ascending), or "ttyS0--not searched: <reason>".
std::string searchResultText(const std::vector<SearchedPort>& ports, const FoundTable& found,
                             int probedAddresses);

// The first answering Device ID, ports in list order and addresses ascending.
std::optional<int> firstAnsweringId(const std::vector<SearchedPort>& ports, const FoundTable& found,
                                    int probedAddresses);

// --- the search ---------------------------------------------------------------

class BusSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kFullAddresses = 251;
    static constexpr int kQuickAddresses = 11;
    static constexpr int kProbeMs = 100;
    static constexpr int kConnectPollMs = 10;

    // What the search drives: the session lends it the serial port.
    struct Link {
        Session& session;
        Prompts& prompts;
        Clock& clock;
    };

    // What a running search keeps the user from: nothing, the strip and the
    // equaliser page (the quick search), or those and the connection group
    // (the full search).
    enum class Lock { None, Editing, EditingAndConnection };

    // Connects its controls; watches `window` so that closing it ends a
    // running search. The quick search selects what it found in `selection`.
    BusSearch(QWidget& window, const SearchView& view, DeviceSelection& selection, const Link& link);
    ~BusSearch() override;

    void startFullSearch();          // "search device id"
    void startQuickSearch();         // addresses 0..10
    void stopSearch();               // the cancel button
    void showSearchResult();         // the result panel again ("search result")
    void closeSearchResult();        // "Close" and "X" on the result panel
    void runStartupSearch();         // the quick search once after start-up
    // The start-up search runs 100 ms after the window is built, unless cancelled
    // (a group file opened at start, a connect first).
    void scheduleStartupSearch();
    void cancelStartupSearch();
    void closeStartupSearchResult(); // the start-up search's result panel closes

    // The window's meter handler hands every meter reply here (the whole frame
    // as hex text).
    void meterReplied(const frame::Reply& reply);
    // A connect is taking the link: a running search stops at once and leaves
    // the port and the connection to it.
    void linkTakenOver();
    // The USB amplifier has arrived and waits for the serial port: a running
    // search ends without a result, closes its port and says so (portReleased).
    void usbAmplifierWaiting();

    bool running() const { return running_; }
    bool probeReplied() const { return probeReplied_; }
    const FoundTable& found() const { return found_; }
    // Addresses the full search probes (251; tests use fewer).
    void setFullAddressCount(int count) { fullAddresses_ = count; }

signals:
    // The gain, delay and limiter pop-ups are to be hidden.
    void hidePopupsRequested();
    // The transfer progress panel is to be hidden and its timer stopped.
    void hideTransferProgressRequested();
    // A search has closed its port and left the program disconnected.
    void portReleased();
    // The controls a search keeps the user from.
    void lockChanged(talvex::BusSearch::Lock lock);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Kind { Full, Quick };
    void run(Kind kind);
    // The steps of a run: the next port (from the last item backwards), its
    // opening, one probe and its end, and the end of the run.
    void nextPort();
    void openPort();
    void portOpened(bool opened);
    void probeNext();
    void probeEnded();
    void endRun();
    void closeAfterResult();
    void portFailed();
    void reset();
    void after(int ms, void (BusSearch::*step)());
    void runStep();
    void setGroupsEnabled(Kind kind, bool enabled);
    void showResult(const std::vector<SearchedPort>& ports, int addresses);

    Link link_;
    QWidget& window_;
    FoundTable found_;
    int fullAddresses_ = kFullAddresses;
    bool running_ = false;
    bool stop_ = false;
    bool yielded_ = false; // ended for the USB amplifier
    bool probeReplied_ = false;
    int probeAddress_ = -1;

    SearchView view_;
    DeviceSelection& selection_;
    bool pressOnSelection_ = false; // the button went down on the result's selected text

    // The run under way.
    Kind kind_ = Kind::Full;
    std::vector<SerialPortItem> items_; // the list as it stood at the start
    std::vector<SearchedPort> searched_;
    int addresses_ = 0;
    int portsDone_ = 0; // ports begun, counted from the last item
    int address_ = 0;
    bool startupRun_ = false; // the run is the start-up search
    bool finished_ = true; // the last port's address loop reached its end (also with no ports)
    // On the window's clock: "search start" (100 ms, once), "search result
    // close" (3000 ms, once, after the start-up search), "search step" (once:
    // the step that ends a probe or a pause).
    std::unique_ptr<Timer> startupSearch_;
    std::unique_ptr<Timer> closeResult_;
    std::unique_ptr<Timer> stepTimer_;
    void (BusSearch::*step_)() = nullptr;
};

} // namespace talvex
