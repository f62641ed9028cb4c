#pragma once
// The preset panel and the group transfer on a bare window built by the layout,
// with a recording transport, recorded prompts and dialogs, plain timers that
// nothing ticks, and pauses that end at once (after running `duringDelay`).

#include "support/bare_window.h"
#include "support/files.h"
#include "support/group_images.h"
#include "support/window.h"

#include "model/group_file.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"

#include <QTemporaryDir>

#include <deque>
#include <functional>

namespace talvex::testing {

// Operation, command and index of a frame.
inline std::tuple<int, int, int> head(const frame::Frame& f) { return {f.operation, f.command, f.index}; }

class PresetsTest : public BareWindowTest {
protected:
    void SetUp() override
    {
        link = LinkState::Bus;
        sender.setSelectedAddress(4);
        const PresetsContext context{
            .model = &model, .sender = &sender, .link = &link, .prompts = &prompts, .dialogs = &dialogs,
            .supervision = &supervision, .hidePopups = [this] { ++popupsHidden; },
            .showProgress = [this](bool animate) {
                progressShown = true;
                progressAnimated = animate;
                bar = 0;
            },
            .hideProgress = [this] { progressShown = false; },
            .setProgressBar = [this](int percent) { bar = percent; },
            .after = [this](int ms, std::function<void()> then) {
                delays.push_back(ms);
                if (duringDelay)
                    duringDelay();
                then();
            }};
        transfer = new GroupTransfer(context, views.presets, &window);
        panel = new PresetPanel(context, *transfer, views.presets, &window);
        // Idle and connected: both running, as after the first group reply.
        pulse.start(100000);
        watchdog.start(100000);
        ASSERT_TRUE(folder.isValid());
    }

    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
    // Writes a file of this test's folder and answers the next file dialog with it.
    QString offerFile(const char* name, const std::string& content)
    {
        writeFile(path(name), content);
        dialogs.answers = {path(name)};
        return path(name);
    }

    // Saving all groups: each tick reads a group, and every reply but `lost` comes.
    void saveAll(int lost = 0)
    {
        transfer->saveAllGroupsToFile();
        for (int g = 1; g <= 20; ++g) {
            transfer->readNextStoredGroup();
            if (g != lost)
                transfer->storedGroupReceived(replyOf(texts[std::size_t(g - 1)]));
        }
    }

    // Starts loading a good all-groups file and sends its first `groups` groups.
    void loadAll(int groups)
    {
        offerFile("all.datgrp", *groupfile::formatAllGroups(texts));
        transfer->loadAllGroupsFromFile();
        for (int n = 0; n < groups; ++n)
            transfer->writeNextStoredGroup();
    }
    void loseLinkDuringPause(bool reconnect)
    {
        duringDelay = [this, reconnect] {
            link = LinkState::Closed;
            transfer->linkLost();
            link = reconnect ? LinkState::Bus : LinkState::Closed;
        };
    }
    // A reply frame written as hex text, the way group files keep it; the test keeps its bytes.
    frame::Reply replyOf(const std::string& text)
    {
        const QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(text));
        return frame::Reply{replyBytes.emplace_back(bytes.begin(), bytes.end())};
    }
    // The one frame sent since the last take (an empty frame, and a failure, when not exactly one was sent).
    frame::Frame takeOnlyFrame()
    {
        const auto frames = takeFrames();
        EXPECT_EQ(frames.size(), 1u);
        return frames.size() == 1 ? frames[0] : frame::Frame{};
    }
    // Whether file dialog n was a save dialog, and its name.
    auto asked(std::size_t n) const { return std::pair(dialogs.asked.at(n).save, dialogs.asked.at(n).options.name); }
    bool idle() const { return pulse.isActive() && watchdog.isActive(); }
    bool timersStopped() const { return !pulse.isActive() && !watchdog.isActive(); }

    const std::vector<std::string> texts = storedGroupTexts();
    std::deque<Bytes> replyBytes;
    RecordingFileDialogs dialogs;
    struct TimerSupervision : LinkSupervision {
        void stopSendPulse() override { pulse.stop(); }
        void startSendPulse() override { pulse.start(); }
        void stopWatchdog() override { watchdog.stop(); }
        void startWatchdog() override { watchdog.start(); }
        QTimer pulse, watchdog;
    } supervision;
    QTimer& pulse = supervision.pulse;
    QTimer& watchdog = supervision.watchdog;
    int popupsHidden = 0;
    bool progressShown = false;
    bool progressAnimated = false;
    int bar = -1;
    std::vector<int> delays;
    std::function<void()> duringDelay;
    GroupTransfer* transfer = nullptr;
    PresetPanel* panel = nullptr;
    QTemporaryDir folder;
};

} // namespace talvex::testing
