#include "presets/group_transfer.h"

#include "link/frame.h"
#include "link/hex_text.h"
#include "ui/controls.h"
#include "ui/prompts.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QFile>
#include <QWidget>

#include <algorithm>

namespace talvex {

namespace {

const QString kDamaged = QStringLiteral("File damaged.");


// A group reply as group files keep it: its first 652 bytes, exactly as they
// arrived, written as hex pairs.
std::string groupFrameText(const frame::Reply& reply)
{
    return toHex(reply.bytes.first(std::min(reply.bytes.size(), groupfile::kGroupTextLength / 2)));
}

FileDialogOptions dialog(const char* name, const char* filter, const char* suffix, const char* defaultName,
                         bool confirmOverwrite)
{
    return FileDialogOptions{QString::fromLatin1(name), QString::fromLatin1(filter), QString::fromLatin1(suffix),
                             QString::fromLatin1(defaultName), confirmOverwrite};
}

} // namespace

const FileDialogOptions GroupTransfer::dlgSave_onegrp2pc =
    dialog("dlgSave_onegrp2pc", "(*.datdsp)|*.datdsp", groupfile::kOneGroupExtension, "data_flie", true);
const FileDialogOptions GroupTransfer::dlgOpen_onegrp =
    dialog("dlgOpen_onegrp", "*.datdsp|*.datdsp", groupfile::kOneGroupExtension, "", false);
const FileDialogOptions GroupTransfer::dlgSave_20grp =
    dialog("dlgSave_20grp", "(*.datgrp)|*.datgrp", groupfile::kAllGroupsExtension, "grp_data1", false);
const FileDialogOptions GroupTransfer::dlgOpen_20grp =
    dialog("dlgOpen_20grp", "*.datgrp|*.datgrp", groupfile::kAllGroupsExtension, "", false);

GroupTransfer::GroupTransfer(const PresetsContext& context, const PresetsView& view, QObject* parent)
    : QObject(parent), ctx_(context), channel_(*context.channel)
{
    Clock& clock = *ctx_.clock;
    readGroups_ =
        clock.makeTimer("group read", kApplyIntervalMs, Clock::Repeat::Every, [this] { readNextStoredGroup(); });
    writeGroups_ =
        clock.makeTimer("group write", kSendIntervalMs, Clock::Repeat::Every, [this] { writeNextStoredGroup(); });
    replyDeadline_ = clock.makeTimer("group reply deadline", kReplyDeadlineMs, Clock::Repeat::Once,
                                     [this] { replyDeadlinePassed(); });

    connect(view.saveOneGroup, &QAbstractButton::clicked, this, &GroupTransfer::saveOneGroupToFile);
    connect(view.loadOneGroup, &QAbstractButton::clicked, this, &GroupTransfer::loadOneGroupFromFile);
    connect(view.saveAllGroups, &QAbstractButton::clicked, this, &GroupTransfer::saveAllGroupsToFile);
    connect(view.loadAllGroups, &QAbstractButton::clicked, this, &GroupTransfer::loadAllGroupsFromFile);
}

GroupTransfer::~GroupTransfer()
{
    channel_.cancelPauses(); // what they were to be followed by goes with this transfer
}

// --- save one group ------------------------------------------------------------

void GroupTransfer::saveOneGroupToFile()
{
    ctx_.hidePopups();
    if (!connected() || refuseWhileBusy())
        return;
    state_ = State::SavingOne;
    channel_.stopSendPulse();
    channel_.after(50, [this] {
        channel_.stopWatchdog();
        channel_.sendRead(0, frame::kCmdCurrentGroup);
        lines_.clear();
        saveRequest_ = true;
        replyDeadline_->start(kReplyDeadlineMs);
    });
}

void GroupTransfer::currentGroupReceived(const frame::Reply& reply)
{
    if (state_ == State::SavingOne || state_ == State::AwaitingGroup) {
        replyDeadline_->stop();
        state_ = State::Idle;
    }
    if (!saveRequest_)
        return;
    // The window restarts both once the reply has been handled; while the dialog
    // is open neither a meter read nor a silent watchdog may end the link.
    stopLinkTimers();
    const QString path = ctx_.dialogs->saveFile(dlgSave_onegrp2pc);
    if (path.isEmpty())
        return; // the request stays: the next current-group reply asks again
    saveRequest_ = false;
    lines_.clear();
    if (const auto content = groupfile::formatOneGroup(groupFrameText(reply)))
        saveWholeFile(path, *content, *ctx_.prompts);
}

// --- load one group ------------------------------------------------------------

void GroupTransfer::loadOneGroupFromFile()
{
    const auto parsed = beginLoad(State::LoadingOne, dlgOpen_onegrp, false);
    if (parsed)
        writeCurrentGroup(parsed->groups.front().image);
}

bool GroupTransfer::loadImage(const groupfile::GroupImage& image)
{
    if (!connected() || refuseWhileBusy())
        return false;
    state_ = State::LoadingOne;
    writeCurrentGroup(image);
    return true;
}

void GroupTransfer::writeCurrentGroup(const groupfile::GroupImage& image)
{
    stopLinkTimers();
    channel_.showProgress(true);
    channel_.sendBlockWrite(0, frame::kCmdCurrentGroup, image);
    channel_.after(kLoadPauseMs, [this] {
        channel_.readBackCurrentGroup(); // in broadcast mode from the chosen device
        awaitGroup();
    });
}

// --- save all groups -----------------------------------------------------------

void GroupTransfer::saveAllGroupsToFile()
{
    if (!connected() || refuseWhileBusy())
        return;
    ctx_.hidePopups();
    channel_.stopSendPulse();
    channel_.showProgress(false);
    lines_.clear();
    counter_ = 0;
    state_ = State::SavingAll;
    readGroups_->start();
}

void GroupTransfer::readNextStoredGroup()
{
    if (!connected() || counter_ >= groupfile::kStoredGroups)
        return;
    ++counter_;
    channel_.sendRead(counter_, frame::kCmdStoredGroup);
    channel_.setProgress(counter_ * 5);
    if (counter_ == groupfile::kStoredGroups) {
        readGroups_->stop();
        channel_.hideProgress();
        channel_.setProgress(0);
        // The last replies are awaited a while, not for ever (the watchdog,
        // which runs meanwhile, would end the link after 3.25 s of silence).
        replyDeadline_->start(kLastRepliesWaitMs);
    }
}

void GroupTransfer::storedGroupReceived(const frame::Reply& reply)
{
    if (state_ != State::SavingAll || lines_.size() >= std::size_t(groupfile::kStoredGroups))
        return;
    lines_.push_back(groupFrameText(reply));
    if (counter_ == groupfile::kStoredGroups && lines_.size() == std::size_t(groupfile::kStoredGroups))
        finishSaveAll();
}

void GroupTransfer::finishSaveAll()
{
    readGroups_->stop();
    replyDeadline_->stop();
    state_ = State::Idle;
    channel_.hideProgress();
    stopLinkTimers();
    if (lines_.size() < std::size_t(groupfile::kStoredGroups)) {
        // A file with a group missing could never be loaded again.
        ctx_.prompts->message(QStringLiteral("Only %1 of %2 groups arrived from the device; nothing was saved.")
                                  .arg(lines_.size())
                                  .arg(groupfile::kStoredGroups));
    } else {
        const QString path = ctx_.dialogs->saveFile(dlgSave_20grp);
        if (!path.isEmpty()) {
            if (const auto content = groupfile::formatAllGroups(lines_))
                saveWholeFile(path, *content, *ctx_.prompts);
        }
    }
    lines_.clear();
    resumeIdle();
}

// --- load all groups -----------------------------------------------------------

void GroupTransfer::loadAllGroupsFromFile()
{
    const auto parsed = beginLoad(State::LoadingAll, dlgOpen_20grp, true);
    if (!parsed)
        return;
    outgoing_.clear();
    for (const groupfile::Group& group : parsed->groups)
        outgoing_.push_back(group.image);
    stopLinkTimers();
    channel_.showProgress(false);
    counter_ = 0;
    writeGroups_->start();
}

void GroupTransfer::writeNextStoredGroup()
{
    if (!connected())
        return;
    const int n = counter_;
    channel_.stopSendPulse();
    channel_.setProgress(n * 5);
    counter_ = n + 1;
    if (n < groupfile::kStoredGroups) {
        channel_.sendBlockWrite(n + 1, frame::kCmdStoredGroup, outgoing_[std::size_t(n)]);
        return;
    }
    channel_.stopWatchdog();
    writeGroups_->stop();
    counter_ = 0;
    outgoing_.clear();
    // A link that closes during the pause drops the read (and ends the transfer).
    channel_.after(kReadAllPauseMs, [this] {
        // Names, system record and current group follow; the group reply shows
        // everything and restarts the send-pulse timer and the watchdog.
        channel_.sendRead(0, frame::kCmdReadPresetNames);
        awaitGroup();
    });
}

// --- shared ------------------------------------------------------------------

void GroupTransfer::presetLoadStarted()
{
    counter_ = 0;
    awaitGroup();
}

void GroupTransfer::awaitGroup()
{
    state_ = State::AwaitingGroup;
    replyDeadline_->start(kReplyDeadlineMs);
}

void GroupTransfer::replyDeadlinePassed()
{
    if (state_ == State::SavingAll) {
        finishSaveAll(); // with the groups that came
        return;
    }
    const bool savingOne = state_ == State::SavingOne;
    state_ = State::Idle;
    if (!connected())
        return;
    if (savingOne && saveRequest_) {
        saveRequest_ = false;
        ctx_.prompts->message(QStringLiteral("The device did not send its settings; nothing was saved."));
    }
    // Back to normal: meter reads resume, and a device that is gone is noticed
    // by the watchdog as usual.
    channel_.hideProgress();
    resumeIdle();
}

void GroupTransfer::linkLost()
{
    readGroups_->stop();
    writeGroups_->stop();
    replyDeadline_->stop();
    state_ = State::Idle;
    counter_ = 0;
    saveRequest_ = false;
    lines_.clear();
    outgoing_.clear();
}

void GroupTransfer::resumeIdle()
{
    if (!connected())
        return;
    channel_.resumeSupervision();
}

bool GroupTransfer::refuseWhileBusy()
{
    if (!busy())
        return false;
    ctx_.prompts->message(QString::fromLatin1(kTransferRunningMessage));
    return true;
}

void GroupTransfer::stopLinkTimers()
{
    channel_.pauseSupervision();
}

std::optional<groupfile::ParseResult> GroupTransfer::beginLoad(State state, const FileDialogOptions& options,
                                                             bool allGroups)
{
    if (!connected() || refuseWhileBusy())
        return std::nullopt;
    state_ = state; // no other transfer may start while the dialog is open
    groupfile::ParseResult parsed = chooseAndParse(options, allGroups);
    if (state_ != state)
        return std::nullopt; // the link closed while the dialog was open: linkLost() ended the transfer
    if (!parsed.ok()) {
        state_ = State::Idle;
        resumeIdle();
        return std::nullopt;
    }
    return parsed;
}

groupfile::ParseResult GroupTransfer::chooseAndParse(const FileDialogOptions& options, bool allGroups)
{
    lines_.clear();
    const QString path = ctx_.dialogs->openFile(options);
    if (path.isEmpty())
        return {}; // cancelled: nothing to load, nothing to say
    groupfile::ParseResult parsed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        parsed.status = groupfile::Status::Damaged;
        ctx_.prompts->message(
            QStringLiteral("Could not open \"%1\": %2").arg(shownPath(path), file.errorString()));
        return parsed;
    }
    // Anything larger than a group file could be is refused unread; the read
    // is bounded as well for files whose size is not known beforehand.
    if (file.size() > qint64(groupfile::kMaxFileBytes)) {
        parsed.status = groupfile::Status::Damaged;
        parsed.fault.reason = "the file is larger than 1 MiB; a group file is far smaller";
    } else {
        const QByteArray bytes = file.read(qint64(groupfile::kMaxFileBytes) + 1);
        const std::string_view content(bytes.constData(), std::size_t(bytes.size()));
        parsed = allGroups ? groupfile::parseAllGroups(content) : groupfile::parseOneGroup(content);
    }
    if (parsed.status == groupfile::Status::Damaged)
        ctx_.prompts->detailedMessage(kDamaged, QString::fromStdString(parsed.fault.reason));
    return parsed;
}


} // namespace talvex
