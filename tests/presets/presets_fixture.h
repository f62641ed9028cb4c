#pragma once
// The preset panel and the group transfer on a bare window built by the layout,
// with a recording transport behind a fake of the session's channel, recorded
// prompts and dialogs, and a clock the test advances by hand.

#include "support/bare_window.h"
#include "support/fake_device_channel.h"
#include "support/files.h"
#include "support/group_images.h"
#include "support/test_clock.h"
#include "support/window.h"

#include "model/group_file.h"
#include "presets/group_transfer.h"
#include "presets/preset_panel.h"

#include <QTemporaryDir>

#include <deque>

namespace talvex::testing {

// Operation, command and index of a frame.
inline std::tuple<int, int, int> head(const frame::Frame& f) { return {f.operation, f.command, f.index}; }

class PresetsTest : public BareWindowTest {
protected:
    void SetUp() override
    {
        link = LinkState::Bus;
        sender.setSelectedAddress(4);
        const PresetsContext context{.model = &model, .channel = &channel, .clock = &clock, .prompts = &prompts,
                                     .dialogs = &dialogs, .hidePopups = [this] { ++popupsHidden; }};
        transfer = new GroupTransfer(context, views.presets, &window);
        panel = new PresetPanel(context, *transfer, views.presets, &window);
        ASSERT_TRUE(folder.isValid());
    }
    // Before the channel and the clock they use.
    void TearDown() override
    {
        delete panel;
        delete transfer;
    }

    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
    // Writes a file of this test's folder and answers the next file dialog with it.
    QString offerFile(const char* name, const std::string& content)
    {
        writeFile(path(name), content);
        dialogs.answers = {path(name)};
        return path(name);
    }

    // Saving all groups: each 980 ms tick reads a group, and every reply but `lost` comes.
    void saveAll(int lost = 0)
    {
        transfer->saveAllGroupsToFile();
        for (int g = 1; g <= 20; ++g) {
            clock.advance(GroupTransfer::kApplyIntervalMs);
            if (g != lost)
                transfer->storedGroupReceived(replyOf(texts[std::size_t(g - 1)]));
        }
    }

    // Starts loading a good all-groups file and lets its first `groups` 1500 ms ticks pass.
    void loadAll(int groups)
    {
        offerFile("all.datgrp", *groupfile::formatAllGroups(texts));
        transfer->loadAllGroupsFromFile();
        clock.advance(std::int64_t(groups) * GroupTransfer::kSendIntervalMs);
    }
    // The link closes as the window sees it (and, when `reconnect`, opens again at once).
    void loseLink(bool reconnect)
    {
        channel.closeLink();
        transfer->linkLost();
        link = reconnect ? LinkState::Bus : LinkState::Closed;
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
    bool idle() const { return channel.sendPulse && channel.watchdog; }
    bool timersStopped() const { return !channel.sendPulse && !channel.watchdog; }
    bool running(std::string_view timer) const { return clock.running(timer); }

    const std::vector<std::string> texts = storedGroupTexts();
    std::deque<Bytes> replyBytes;
    RecordingFileDialogs dialogs;
    TestClock clock;
    FakeDeviceChannel channel{sender, link, clock};
    std::vector<int>& delays = channel.pauses;
    const bool& progressShown = channel.progressShown;
    const bool& progressAnimated = channel.progressAnimated;
    const int& bar = channel.bar;
    int popupsHidden = 0;
    GroupTransfer* transfer = nullptr;
    PresetPanel* panel = nullptr;
    QTemporaryDir folder;
};

} // namespace talvex::testing
