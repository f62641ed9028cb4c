// The four group-file operations with the pacing timers driven by hand.
#include "presets_fixture.h"

using namespace talvex;
using namespace talvex::testing;
using groupfile::makeGroupText;

TEST_F(PresetsTest, SaveAllReadsTwentyGroupsAndWritesThemInOrder)
{
    const QString file = path("all.datgrp");
    dialogs.answers = {file};
    transfer->saveAllGroupsToFile();
    EXPECT_TRUE(running("group read") && progressShown && !progressAnimated);
    EXPECT_FALSE(channel.sendPulse);
    EXPECT_TRUE(channel.watchdog); // replies keep the link alive during the reads

    for (int g = 1; g <= 20; ++g) {
        clock.advance(980);
        EXPECT_EQ(head(takeOnlyFrame()), std::tuple(frame::kOpRead, frame::kCmdStoredGroup, g));
        EXPECT_EQ(bar, g == 20 ? 0 : 5 * g);
        EXPECT_TRUE(dialogs.asked.empty());
        transfer->storedGroupReceived(replyOf(texts[std::size_t(g - 1)]));
    }
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(asked(0), std::pair(true, QString("dlgSave_20grp")));

    EXPECT_EQ(readFile(file), *groupfile::formatAllGroups(texts));
    EXPECT_FALSE(running("group read") || running("group reply deadline"));
    EXPECT_TRUE(!progressShown && idle() && !transfer->busy());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PresetsTest, SaveAllWithALostReplyWritesNothingAndSaysHowManyArrived)
{
    const QString file = path("all.datgrp");
    dialogs.answers = {file};
    saveAll(7);
    // The twentieth reply came, but one before it did not: wait a while.
    EXPECT_EQ(std::tuple(prompts.messages, running("group read"), running("group reply deadline")),
              std::tuple(QStringList{}, false, true));
    clock.advance(1999);
    EXPECT_TRUE(prompts.messages.isEmpty());
    clock.advance(1);
    EXPECT_EQ(prompts.messages, QStringList{"Only 19 of 20 groups arrived from the device; nothing was saved."});
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_FALSE(QFile::exists(file) || running("group read"));
    EXPECT_TRUE(idle());
    EXPECT_EQ(takeFrames().size(), 20u); // no read beyond group 20
}

TEST_F(PresetsTest, SaveAllCancelledOrUnwritable)
{
    saveAll(); // the dialog is cancelled (no answer queued)
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(prompts.messages.isEmpty() && idle());
    // A folder that cannot exist: below a regular file.
    const QString blocker = path("plain-file");
    writeFile(blocker, "x");
    const QString impossible = blocker + "/all.datgrp";
    dialogs.answers = {impossible};
    saveAll();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Could not save \"" + QDir::toNativeSeparators(impossible) + "\": "))
        << prompts.messages[0].toStdString();
    EXPECT_FALSE(prompts.messages[0].endsWith(": ")); // the reason follows
    EXPECT_TRUE(readFile(blocker) == "x" && idle());
    // An existing file is replaced whole, and only when the new one is complete.
    const QString file = offerFile("old.datgrp", "old contents");
    saveAll();
    EXPECT_EQ(readFile(file), *groupfile::formatAllGroups(texts));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2); // no temporary left behind
}

TEST_F(PresetsTest, LoadAllWritesFileGroupGToDeviceGroupG)
{
    // Groups saved from another device, with headers that say nothing useful.
    std::vector<std::string> foreign;
    for (int g = 1; g <= 20; ++g)
        foreign.push_back(makeGroupText(patternImage(g), 6, 0, frame::kCmdCurrentGroup));
    offerFile("all.datgrp", *groupfile::formatAllGroups(foreign));
    transfer->loadAllGroupsFromFile();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(asked(0), std::pair(false, QString("dlgOpen_20grp")));
    EXPECT_TRUE(running("group write") && timersStopped() && progressShown);
    EXPECT_TRUE(takeFrames().empty());

    for (int n = 0; n < 20; ++n) {
        clock.advance(1500);
        EXPECT_EQ(bar, 5 * n);
        const frame::Frame sent = takeOnlyFrame();
        EXPECT_EQ(head(sent), std::tuple(frame::kOpWrite, frame::kCmdStoredGroup, n + 1));
        const auto image = patternImage(n + 1);
        EXPECT_EQ(sent.payload, std::vector<std::uint8_t>(image.begin(), image.end()));
        EXPECT_TRUE(transfer->busy());
    }
    EXPECT_TRUE(delays.empty());
    clock.advance(1500); // the twenty-first tick reads everything back after a pause
    EXPECT_EQ(bar, 100);
    EXPECT_EQ(delays, std::vector<int>{600});
    EXPECT_TRUE(takeFrames().empty());
    clock.advance(600);
    EXPECT_EQ(head(takeOnlyFrame()), std::tuple(frame::kOpRead, frame::kCmdReadPresetNames, 0));
    EXPECT_FALSE(running("group write") || channel.watchdog);
    EXPECT_EQ(transfer->groupCounter(), 0);
    EXPECT_TRUE(transfer->busy()); // until the read-all ends with the group reply
    transfer->currentGroupReceived(replyOf(foreign[0]));
    EXPECT_FALSE(transfer->busy() || running("group reply deadline"));
}

TEST_F(PresetsTest, DamagedAllGroupsFilesSendNothing)
{
    // GroupFile.AllGroupsFaults checks the parser's faults (39 or 41 lines too); here each kind reaches the user.
    std::string lastTooLong = *groupfile::formatAllGroups(texts);
    lastTooLong.insert(lastTooLong.size() - 2, "0");
    std::string binary = "\x89PNG\r\n\x1a\n";
    binary.append(4000, '\xff');
    const std::pair<std::string, const char*> cases[] = {
        {lastTooLong, "group 20 (lines 39 and 40) holds 1305 characters"},
        {std::string(groupfile::kMaxFileBytes + 10, 'A'), "the file is larger than 1 MiB"},
        {binary, "the file has"},
    };
    for (const auto& [content, why] : cases) {
        offerFile("bad.datgrp", content);
        prompts.messages.clear();
        prompts.details.clear();
        channel.sendPulse = false;
        transfer->loadAllGroupsFromFile();
        EXPECT_EQ(prompts.messages, QStringList{"File damaged."}) << why;
        ASSERT_EQ(prompts.details.size(), 1); // the reason, behind the message
        EXPECT_TRUE(prompts.details[0].startsWith(why)) << prompts.details[0].toStdString();
        EXPECT_TRUE(transport.serialWrites.empty());
        EXPECT_FALSE(running("group write") || transfer->busy());
        EXPECT_TRUE(idle());
    }

    // Cancelled, empty and unreadable: nothing sent, timers running.
    prompts.messages.clear();
    const QString empty = offerFile("empty.datgrp", "");
    for (const QString& answer : {QString(), empty}) {
        dialogs.answers = {answer};
        channel.sendPulse = false;
        transfer->loadAllGroupsFromFile();
        EXPECT_TRUE(prompts.messages.isEmpty() && idle());
    }
    dialogs.answers = {path("missing.datgrp")};
    transfer->loadAllGroupsFromFile();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Could not open")) << prompts.messages[0].toStdString();
    EXPECT_TRUE(transport.serialWrites.empty() && idle());
}

TEST_F(PresetsTest, LinkLostDuringLoadAllOrItsPauseEndsTheTransfer)
{
    loadAll(5);
    EXPECT_EQ(takeFrames().size(), 5u);
    // The link closes: a tick before the window ends the transfer sends nothing.
    link = LinkState::Closed;
    clock.advance(1500);
    EXPECT_TRUE(takeFrames().empty());
    loseLink(false);
    EXPECT_FALSE(running("group write") || transfer->busy());
    EXPECT_EQ(transfer->groupCounter(), 0);
    EXPECT_TRUE(timersStopped()); // nothing is revived on a closed link
    // Connected again, a new load starts from group 1.
    link = LinkState::Bus;
    loadAll(1);
    EXPECT_EQ(takeOnlyFrame().index, 1);

    // Lost during the pause before the read-all (and even connected again before it ends): no read.
    loseLink(true);
    loadAll(21);
    takeFrames();
    ASSERT_TRUE(running("pause"));
    loseLink(true);
    clock.advance(600);
    EXPECT_TRUE(takeFrames().empty());
    EXPECT_FALSE(transfer->busy());
}

TEST_F(PresetsTest, LoadOneWritesTheBlockPausesAndReadsBack)
{
    // Lower-case digits, saved from device 3, with a wrong checksum.
    std::string text = makeGroupText(patternImage(4), 2, 0, frame::kCmdCurrentGroup);
    text.replace(text.size() - 4, 2, "00");
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    // Split at an odd place and ending in LF only.
    const QString file = offerFile("one.datdsp", text.substr(0, 1001) + "\n" + text.substr(1001) + "\n");
    transfer->loadOneGroupFromFile();

    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(asked(0), std::pair(false, QString("dlgOpen_onegrp")));
    EXPECT_TRUE(progressShown && progressAnimated);
    EXPECT_EQ(delays, std::vector<int>{9700});
    EXPECT_TRUE(timersStopped());
    // The head goes out alone, then the block with a checksum over both.
    ASSERT_EQ(transport.serialWrites.size(), 2u);
    EXPECT_EQ(transport.serialWrites[0].size(), 10u);
    EXPECT_EQ(transport.serialWrites[1].size(), 642u);
    clock.advance(9700);
    const auto frames = sentFrames(); // checks every checksum
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(head(frames[0]), std::tuple(frame::kOpWrite, frame::kCmdCurrentGroup, 0));
    EXPECT_EQ(frames[0].address, 0);
    const auto image = patternImage(4);
    EXPECT_EQ(frames[0].payload, std::vector<std::uint8_t>(image.begin(), image.end()));
    EXPECT_EQ(head(frames[1]), std::tuple(frame::kOpRead, frame::kCmdCurrentGroup, 0));
    EXPECT_TRUE(transfer->busy() && running("group reply deadline"));
    // In broadcast mode the read-back goes to the selected device alone.
    transfer->currentGroupReceived(replyOf(text));
    EXPECT_FALSE(transfer->busy());
    transport.serialWrites.clear();
    sender.broadcast = true;
    sender.deviceAddress = frame::kBroadcastAddress;
    dialogs.answers = {file};
    transfer->loadOneGroupFromFile();
    clock.advance(9700);
    const auto broadcastFrames = sentFrames();
    ASSERT_EQ(broadcastFrames.size(), 2u);
    EXPECT_EQ(broadcastFrames[0].address, frame::kBroadcastAddress);
    EXPECT_EQ(broadcastFrames[1].address, 4);
}

TEST_F(PresetsTest, LoadOneFaultsAndALostLink)
{
    const std::string text = makeGroupText(patternImage(1), 0, 0, frame::kCmdCurrentGroup);
    std::string badPair = text;
    badPair[600] = 'x';
    for (const std::string& content : {text.substr(1), text + "0", badPair}) {
        offerFile("bad.datdsp", content);
        prompts.messages.clear();
        transfer->loadOneGroupFromFile();
        EXPECT_EQ(prompts.messages, QStringList{"File damaged."});
        EXPECT_TRUE(transport.serialWrites.empty() && idle());
    }
    prompts.messages.clear();
    transfer->loadOneGroupFromFile(); // cancelled
    EXPECT_TRUE(prompts.messages.isEmpty() && idle());
    // Not connected: not even the dialog.
    link = LinkState::Closed;
    const std::size_t asked = dialogs.asked.size();
    transfer->loadOneGroupFromFile();
    transfer->loadAllGroupsFromFile();
    transfer->saveAllGroupsToFile();
    transfer->saveOneGroupToFile();
    EXPECT_EQ(dialogs.asked.size(), asked);
    EXPECT_TRUE(transport.serialWrites.empty());
    link = LinkState::Bus;
    // The link goes during the 9.7 s pause: no read-back, nothing restarted.
    offerFile("one.datdsp", *groupfile::formatOneGroup(text));
    transfer->loadOneGroupFromFile();
    EXPECT_EQ(takeOnlyFrame().operation, frame::kOpWrite);
    loseLink(false);
    clock.advance(9700);
    EXPECT_TRUE(takeFrames().empty());
    EXPECT_TRUE(!transfer->busy() && timersStopped() && !sender.readBackOverride);
    // The link closes while an open dialog is up, and is open again when it closes: nothing goes.
    offerFile("all.datgrp", *groupfile::formatAllGroups(texts));
    dialogs.answers.push_back(path("one.datdsp"));
    dialogs.whileOpen = [this] { loseLink(true); };
    for (const bool all : {true, false}) {
        all ? transfer->loadAllGroupsFromFile() : transfer->loadOneGroupFromFile();
        clock.advance(10000);
        EXPECT_TRUE(takeFrames().empty() && !transfer->busy());
    }
}

TEST_F(PresetsTest, SaveOneAsksOnTheReplyUntilAFileIsChosenOrTheReplyIsLate)
{
    transfer->saveOneGroupToFile();
    EXPECT_EQ(delays, std::vector<int>{50});
    EXPECT_TRUE(!channel.sendPulse && channel.watchdog && takeFrames().empty());
    clock.advance(50);
    EXPECT_TRUE(timersStopped());
    EXPECT_EQ(head(takeOnlyFrame()), std::tuple(frame::kOpRead, frame::kCmdCurrentGroup, 0));
    EXPECT_TRUE(transfer->oneGroupSaveRequested());

    const std::string text = makeGroupText(patternImage(8), 0, 0, frame::kCmdCurrentGroup);
    transfer->currentGroupReceived(replyOf(text)); // cancelled
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(asked(0), std::pair(true, QString("dlgSave_onegrp2pc")));
    EXPECT_TRUE(transfer->oneGroupSaveRequested() && !transfer->busy());
    // The next current-group reply (a preset load, say) asks again.
    const QString file = path("one.datdsp");
    dialogs.answers = {file};
    transfer->currentGroupReceived(replyOf(text));
    EXPECT_EQ(dialogs.asked.size(), 2u);
    EXPECT_FALSE(transfer->oneGroupSaveRequested());
    EXPECT_EQ(readFile(file), *groupfile::formatOneGroup(text));
    transfer->currentGroupReceived(replyOf(text));
    EXPECT_EQ(dialogs.asked.size(), 2u);

    // An awaited reply that never comes: the timers run again.
    transfer->saveOneGroupToFile();
    clock.advance(50);
    EXPECT_TRUE(running("group reply deadline"));
    clock.advance(9999);
    EXPECT_TRUE(prompts.messages.isEmpty());
    clock.advance(1);
    EXPECT_EQ(prompts.messages, QStringList{"The device did not send its settings; nothing was saved."});
    EXPECT_FALSE(transfer->oneGroupSaveRequested() || progressShown || transfer->busy());
    EXPECT_TRUE(idle());
}

TEST_F(PresetsTest, OneTransferAtATime)
{
    transfer->saveAllGroupsToFile();
    transfer->loadAllGroupsFromFile();
    transfer->loadOneGroupFromFile();
    transfer->saveOneGroupToFile();
    EXPECT_TRUE(dialogs.asked.empty() && !transfer->oneGroupSaveRequested());
    click("btn_load2dev");
    EXPECT_TRUE(delays.empty());
    EXPECT_EQ(prompts.messages, QStringList(4, "Another transfer is still running. Try again when it has finished."));
    transfer->linkLost();
    EXPECT_FALSE(transfer->busy());
}
