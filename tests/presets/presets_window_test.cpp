// Presets and group files in the whole window, against the virtual amplifier on
// a pseudo-terminal (and, for a lost link, over the fake USB HID controller).
#include "presets_fixture.h"

#include <QDialog>
#include <QFileDialog>

using namespace talvex;
using namespace talvex::testing;

namespace {

// Runs `answer` on the modal file dialog as soon as it is open.
void whenOpen(std::function<void(QFileDialog*)> answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start(10);
}

} // namespace

class PresetsWindowTest : public WindowTest {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    void forgetFrames()
    {
        frames.clear();
        frameTimes.clear();
    }
    GroupTransfer& transfer() { return part<GroupTransfer>(); }
    std::tuple<int, int> kind(std::size_t i) const { return {frames.at(i)[4], commandOf(frames.at(i))}; }
    bool linkTimersRunning() { return timers.running("send pulse") || timers.running("watchdog"); }
    bool idleAgain() { return idleConnected() && timers.running("watchdog") && !transfer().busy(); }
};

TEST_F(PresetsWindowTest, SaveOneGroupAndLoadItBack)
{
    makeWindow();
    connectAndRead();
    forgetFrames();

    const QString file = path("one.datdsp");
    fileDialogs.answers = {file};
    click("btn_save_onegrp2pc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(file); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return idleAgain(); }, 1000));
    const auto saved = groupfile::parseOneGroup(readFile(file));
    ASSERT_TRUE(saved.ok()) << saved.fault.reason;
    EXPECT_EQ(saved.groups[0].image, amp.image());
    EXPECT_EQ(saved.groups[0].text.substr(0, 20), "A5A5A500520028000280");
    EXPECT_TRUE(groupfile::checksumMatches(saved.groups[0].text));
    // Change the gain in the file and load it: the device and the editor take it.
    auto image = amp.image();
    image[kMainGain] = 200;
    image[kMainGain + 1] = 0;
    writeFile(file, *groupfile::formatOneGroup(groupfile::makeGroupText(image, 9, 0, 0x28)));
    fileDialogs.answers = {file};
    forgetFrames();
    click("btn_load_onegrp2pc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return idleAgain(); }, 13000));
    EXPECT_EQ(amp.image(), image);
    EXPECT_EQ(label("lbl28"), "-20dB");
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(kind(0), std::tuple(frame::kOpWrite, frame::kCmdCurrentGroup));
    EXPECT_EQ(kind(1), std::tuple(frame::kOpRead, frame::kCmdCurrentGroup)); // no meter read during the pause
    EXPECT_GE(frameTimes[1] - frameTimes[0], 9700);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PresetsWindowTest, SaveAllAndLoadAllAtTheirOwnPace)
{
    for (int g = 1; g <= 20; ++g)
        amp.storedGroup(g) = patternImage(g);
    makeWindow();
    connectAndRead();
    forgetFrames();
    // Saving at a quicker pace than the device's own (but slower than a reply
    // takes over the pseudo-terminal): the reading logic is the same.
    timers.shorten("group read", 200);
    const QString file = path("all.datgrp");
    fileDialogs.answers = {file};
    click("btn_save_20grp2pc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(file); }, 10000));
    const auto saved = groupfile::parseAllGroups(readFile(file));
    ASSERT_TRUE(saved.ok()) << saved.fault.reason;
    for (int g = 1; g <= 20; ++g) {
        EXPECT_EQ(saved.groups[std::size_t(g - 1)].image, amp.storedGroup(g)) << g;
        EXPECT_EQ(groupfile::headerOf(saved.groups[std::size_t(g - 1)].text).index, g);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return idleAgain(); }, 1000));
    // Loading at the binding pace: twenty block writes 1.5 s apart, then the read-all.
    for (int g = 1; g <= 20; ++g)
        amp.storedGroup(g).fill(0);
    fileDialogs.answers = {file};
    forgetFrames();
    click("btn_load_20grp2pc");
    EXPECT_TRUE(shown("rzgrpbx_data_tx_bar"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return idleAgain() && frames.size() >= 23; }, 40000));
    for (int g = 1; g <= 20; ++g)
        EXPECT_EQ(amp.storedGroup(g), saved.groups[std::size_t(g - 1)].image) << g;
    ASSERT_GE(frames.size(), 23u);
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(kind(i), std::tuple(frame::kOpWrite, frame::kCmdStoredGroup)) << i;
        EXPECT_EQ(frames[i][5], int(i) + 1);
        if (i > 0) {
            EXPECT_GE(frameTimes[i] - frameTimes[i - 1], 1400) << i;
        }
    }
    EXPECT_EQ(std::tuple(commandOf(frames[20]), commandOf(frames[21]), commandOf(frames[22])),
              std::tuple(frame::kCmdReadPresetNames, frame::kCmdReadSystemRecord, frame::kCmdCurrentGroup));
    // Times are taken where the device sees each frame, a few ms after it left.
    EXPECT_GE(frameTimes[20] - frameTimes[19], 1500 + 600 - 100);
    EXPECT_FALSE(shown("rzgrpbx_data_tx_bar"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PresetsWindowTest, AReplyLostDuringSaveAllSavesNothing)
{
    makeFaultyWindow(vamp::Faults{.dropStoredGroupReply = 13});
    connectAndRead();
    timers.shorten("group read", 200);
    const QString file = path("all.datgrp");
    fileDialogs.answers = {file};
    click("btn_save_20grp2pc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.isEmpty(); }, 10000));
    EXPECT_EQ(prompts.messages, QStringList{"Only 19 of 20 groups arrived from the device; nothing was saved."});
    EXPECT_TRUE(fileDialogs.asked.empty());
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return idleAgain(); }, 1000));
    EXPECT_TRUE(linked());
}

TEST_F(PresetsWindowTest, UsbRemovalDuringLoadAllEndsTheTransferCleanly)
{
    makeUsbWindow();
    const auto info = vamp::FakeHidController::amplifierInfo();
    forgetFrames();

    writeFile(path("all.datgrp"), *groupfile::formatAllGroups(storedGroupTexts()));
    timers.shorten("group write", 60);
    fileDialogs.answers = {path("all.datgrp")};
    click("btn_load_20grp2pc");
    auto blockWrites = [&] {
        return std::count_if(frames.begin(), frames.end(), [](const auto& f) { return isWrite(f); });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return blockWrites() >= 5; }, 3000));
    hid.unplug(info.path);
    EXPECT_FALSE(linked());
    EXPECT_TRUE(warningDialog()->isVisible());
    EXPECT_FALSE(timers.running("group write") || transfer().busy());
    EXPECT_FALSE(shown("rzgrpbx_data_tx_bar") || linkTimersRunning());
    EXPECT_NE(amp.storedGroup(20), patternImage(20)); // the transfer did not get there
    const auto written = blockWrites();
    // Plugged in again: connects by itself, and the old transfer does not resume.
    plugAndRead(info, bus);
    EXPECT_FALSE(QTest::qWaitFor([&] { return blockWrites() != written; }, 300));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

// Broadcast mode with the amplifier on USB, unplugged during a one-group load:
// the load ends with its link, everything it stopped or showed is put back, and
// the next connect (by itself, when plugged in again) addresses all devices again.
TEST_F(PresetsWindowTest, UsbRemovalDuringAOneGroupLoadInBroadcastMode)
{
    makeWindow(QStringList{});
    click("btn_broadcase");
    ASSERT_TRUE(session().broadcasting());
    const auto info = vamp::FakeHidController::amplifierInfo();
    plugAndRead(info, bus);
    EXPECT_EQ(session().deviceAddress(), frame::kBroadcastAddress);

    writeFile(path("one.datdsp"), *groupfile::formatOneGroup(groupfile::makeGroupText(amp.image(), 0, 0, 0x28)));
    fileDialogs.answers = {path("one.datdsp")};
    bool loading = false;
    QTimer::singleShot(300, [&] {
        loading = transfer().busy() && shown("rzgrpbx_data_tx_bar");
        hid.unplug(info.path);
    });
    click("btn_load_onegrp2pc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !linked(); }, 3000));
    EXPECT_TRUE(loading);
    EXPECT_FALSE(linked() || transfer().busy() || shown("rzgrpbx_data_tx_bar"));
    EXPECT_FALSE(timers.running("progress") || linkTimersRunning() || timers.running("group reply deadline"));
    EXPECT_FALSE(timers.running("pause"));

    plugAndRead(info, bus);
    EXPECT_EQ(session().deviceAddress(), frame::kBroadcastAddress);
    EXPECT_TRUE(session().broadcasting());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PresetsWindowTest, PresetSaveAndLoadThroughTheDevice)
{
    amp.storedGroup(3)[kMainGain] = 250;
    amp.storedGroup(3)[kMainGain + 1] = 0;
    makeWindow();
    connectAndRead();
    EXPECT_EQ(label("lbl28"), "0dB");
    // Save: the name goes out on a send-pulse tick; the device stores the
    // working group under it.
    combo("cbb_save2dev")->setCurrentIndex(5);
    control<QLineEdit>("edt_save2dev")->setText("  Live 1 ");
    click("btn_save2dev");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.isEmpty(); }, 3000));
    EXPECT_EQ(prompts.messages, QStringList{"Save success!!"});
    const auto& name = amp.presetNames()[5];
    EXPECT_EQ(std::string(name.begin(), name.end()), "Live 1              ");
    EXPECT_EQ(amp.storedGroup(6), amp.image());
    EXPECT_EQ(items("cbb_load2dev").value(5), "Pre5:Live 1");
    // Load preset 3: its settings reach the editor.
    combo("cbb_load2dev")->setCurrentIndex(2);
    click("btn_load2dev");
    ASSERT_TRUE(QTest::qWaitFor([&] { return idleAgain() && label("lbl28") == "-10dB"; }, 3000));
    EXPECT_EQ(std::pair(model().systemRecord[0], int(amp.systemRecord()[0])), std::pair(3, 3));
}

// The real file dialogs, answered by a timer that finds the open dialog.
TEST(QtFileDialogs, SaveProposesANameAndAddsTheExtensionOpenShowsItsPattern)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtFileDialogs dialogs;
    QString name, proposed;
    QStringList filters;
    bool confirms = true;
    whenOpen([&](QFileDialog* dialog) {
        name = dialog->objectName();
        filters = dialog->nameFilters();
        proposed = dialog->selectedFiles().value(0);
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(folder.path());
        dialog->selectFile(QStringLiteral("site A"));
        static_cast<QDialog*>(dialog)->accept(); // as the Save button does
    });
    EXPECT_EQ(dialogs.saveFile(GroupTransfer::dlgSave_20grp), folder.filePath("site A.datgrp"));
    EXPECT_EQ(name, "dlgSave_20grp");
    EXPECT_EQ(filters, QStringList{"(*.datgrp) (*.datgrp)"});
    EXPECT_TRUE(proposed.endsWith("/grp_data1.datgrp")) << proposed.toStdString();
    EXPECT_FALSE(confirms);
    // The one-group save asks before replacing; the next dialog starts where the last one ended.
    QString folderShown;
    whenOpen([&](QFileDialog* dialog) {
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        folderShown = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_TRUE(dialogs.saveFile(GroupTransfer::dlgSave_onegrp2pc).isEmpty());
    EXPECT_TRUE(confirms);
    EXPECT_EQ(folderShown, QDir(folder.path()).absolutePath());
    // An open dialog shows its pattern.
    whenOpen([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        dialog->reject();
    });
    EXPECT_TRUE(dialogs.openFile(GroupTransfer::dlgOpen_onegrp).isEmpty());
    EXPECT_EQ(filters, QStringList{"*.datdsp (*.datdsp)"});
}
