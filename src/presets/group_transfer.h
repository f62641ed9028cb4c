#pragma once
// Group files and the bulk transfers: "save one group to PC", "load one group
// to DV", "save all-group to PC" and "load all-group to DV". Owns the two
// pacing timers (one reads the twenty stored groups, the other writes them)
// and takes the group replies from the window.
//
// Every transfer stops the send-pulse timer (and, while nothing answers, the
// watchdog) and ends with both running again; a transfer whose reply never
// comes ends after kReplyDeadlineMs the same way, and a link that closes ends
// the transfer at once (linkLost()).

#include "link/frame.h"
#include "model/group_file.h"
#include "presets/presets_context.h"
#include "ui/views.h"
#include "ui/file_dialogs.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

#include <string>
#include <vector>

class QWidget;

namespace talvex {

class GroupTransfer : public QObject {
    Q_OBJECT
public:
    static constexpr int kApplyIntervalMs = 980;
    static constexpr int kSendIntervalMs = 1500;
    static constexpr int kLoadPauseMs = 9700;     // after a one-group block write
    static constexpr int kReadAllPauseMs = 600;   // after the twentieth group write
    static constexpr int kReplyDeadlineMs = 10000; // for a current-group reply that is awaited
    static constexpr int kLastRepliesWaitMs = 2000; // after the twentieth read of an all-groups save

    static const FileDialogOptions dlgSave_onegrp2pc;
    static const FileDialogOptions dlgOpen_onegrp;
    static const FileDialogOptions dlgSave_20grp;
    static const FileDialogOptions dlgOpen_20grp;

    // Connects the four file buttons.
    GroupTransfer(const PresetsContext& context, const PresetsView& view, QObject* parent);

    void saveOneGroupToFile();    // "save one group to PC"
    void loadOneGroupFromFile();  // "load one group to DV"
    void saveAllGroupsToFile();   // "save all-group to PC"
    void loadAllGroupsFromFile(); // "load all-group to DV"
    // The one-group load of an image that is not read from a file (a group
    // edited without the amplifier): block write, pause, read-back. False, and
    // nothing sent, while disconnected or while another transfer runs.
    bool loadImage(const groupfile::GroupImage& image);
    void readNextStoredGroup();   // each tick of readGroupsTimer
    void writeNextStoredGroup();  // each tick of writeGroupsTimer

    // From the group reply handlers: a current-group reply (after it has been
    // shown; saves it when a one-group save was asked for) and one stored group
    // (command 41) of an all-groups read. `frameText` is the reply's 1304 characters.
    void currentGroupReceived(const frame::Reply& reply);
    void storedGroupReceived(const frame::Reply& reply);

    // The link has closed (disconnect, watchdog, device removed): any transfer
    // ends here, without touching the link's timers.
    void linkLost();
    // A preset load has sent its read: the group counter goes back to 0 and the
    // reply is awaited like a transfer's.
    void presetLoadStarted();

    // A transfer is running (or its reply is awaited); the buttons and the
    // preset load do nothing meanwhile.
    bool busy() const { return state_ != State::Idle; }
    // When a transfer is running, tells the user that the one asked for is
    // refused; true then.
    bool refuseWhileBusy();
    int groupCounter() const { return counter_; }
    bool oneGroupSaveRequested() const { return saveRequest_; }
    // Runs `then` after `ms`, unless the link has closed meanwhile.
    void afterPause(int ms, std::function<void()> then);
    // Groups collected by the running all-groups save.
    std::size_t groupsReceived() const { return lines_.size(); }

    // Tick of the deadline for awaited replies (single shot): a current-group
    // reply, or the last stored groups of an all-groups save.
    void replyDeadlinePassed();
    const QTimer& replyDeadline() const { return replyDeadline_; }

    QTimer readGroupsTimer;
    QTimer writeGroupsTimer;

private:
    enum class State { Idle, SavingOne, SavingAll, LoadingOne, LoadingAll, AwaitingGroup };

    // Opens the dialog and parses the chosen file; says "File damaged." (or why
    // the file could not be read) itself. Empty when the dialog was cancelled.
    // The start of both loads: the chosen file, checked; nothing when the user
    // cancelled, the file is damaged (the transfer is idle again) or the link
    // closed while the dialog was open.
    std::optional<groupfile::ParseResult> beginLoad(State state, const FileDialogOptions& options, bool allGroups);
    groupfile::ParseResult chooseAndParse(const FileDialogOptions& options, bool allGroups);
    void writeCurrentGroup(const groupfile::GroupImage& image);
    void finishSaveAll();
    void awaitGroup();
    // Send-pulse timer and watchdog running again, if the link is still up.
    void resumeIdle();
    void stopLinkTimers();
    bool connected() const { return (*ctx_.link != LinkState::Closed); }

    PresetsContext ctx_;
    State state_ = State::Idle;
    int counter_ = 0;     // group counter of the all-groups transfers, 0..21
    bool saveRequest_ = false;
    int linkEpoch_ = 0;
    std::vector<std::string> lines_;              // group texts of an all-groups save
    std::vector<groupfile::GroupImage> outgoing_; // groups of an all-groups load
    QTimer replyDeadline_;
};

} // namespace talvex
