// Device ID selection and assignment, broadcast mode and the temperature
// threshold on a bare window; frames go to a recording transport.

#include "support/bare_window.h"
#include "support/fake_device_channel.h"
#include "support/qstring_print.h"
#include "support/test_clock.h"

#include "admin/device_admin.h"

using namespace talvex;
using namespace talvex::testing;

namespace {

class DeviceAdminTest : public BareWindowTest {
protected:
    void SetUp() override
    {
        // The window's part: the chosen Device ID is pushed into the sender.
        QObject::connect(combo("cbb_deviceid"), &QComboBox::currentIndexChanged,
                         [this](int item) { sender.setSelectedAddress(item); });
        sender.setSelectedAddress(combo("cbb_deviceid")->currentIndex());
        admin = std::make_unique<DeviceAdmin>(views.admin, DeviceAdmin::Parts{model, channel, prompts,
                                                                             [this] { return transferRunning; }});
        QObject::connect(admin.get(), &DeviceAdmin::broadcastChanged, [this](bool on) { showBroadcastLock(views, on); });
        // As a connect to Device ID 1 leaves things: record read, view filled.
        std::ranges::copy(std::array{10, 11, 12, 1, 14, 15, 16, 10}, model.systemRecord.begin());
        combo("cbb_TemperatureThr")->setCurrentIndex(10);
    }

    // Chunk 3 marked, then two ticks: the addresses of the write and the meter read.
    std::pair<int, int> addressesOfTwoTicks()
    {
        model.markChunk(3);
        const auto frames = tick(2);
        return frames.size() == 2 ? std::pair(addressOf(frames[0]), addressOf(frames[1])) : std::pair(-1, -1);
    }

    TestClock clock;
    FakeDeviceChannel channel{sender, link, clock};
    bool transferRunning = false;
    std::unique_ptr<DeviceAdmin> admin;
};

} // namespace

TEST_F(DeviceAdminTest, DeviceIdEntryIsCheckedAndConfirmed)
{
    auto* box = control<QLineEdit>("edt22");
    // Disconnected: nothing is asked.
    box->setText("7");
    click("btn46");
    EXPECT_EQ(prompts.messages, QStringList{"Disconnect."});

    link = LinkState::Bus;
    sender.deviceAddress = 4;
    for (const char* bad : {"0", "251", ""}) {
        prompts.messages.clear();
        box->setText(bad);
        click("btn46");
        EXPECT_EQ(prompts.messages, QStringList{"Please input 1~250 number."}) << bad;
        EXPECT_EQ(box->text(), "5") << bad; // back to the current Device ID
    }
    EXPECT_TRUE(prompts.questions.isEmpty());

    box->setText("250");
    prompts.answers = {false, true};
    click("btn46"); // No: nothing changes
    EXPECT_EQ(std::pair(model.systemRecord[3], model.lowestPending()), std::pair(1, -1));
    click("btn46");
    EXPECT_EQ(std::pair(model.systemRecord[3], model.lowestPending()), std::pair(250, kSystemRecordChunk));
    EXPECT_EQ(combo("cbb_deviceid")->currentIndex(), 249);
    EXPECT_EQ(sender.deviceAddress, 4); // until the record has gone out
}

TEST_F(DeviceAdminTest, DeviceIdBoxTakesDigitsAndEnterConfirms)
{
    link = LinkState::Bus;
    auto* box = control<QLineEdit>("edt22");
    box->clear();
    int popupsHidden = 0;
    QObject::connect(admin.get(), &DeviceAdmin::hidePopupsRequested, [&] { ++popupsHidden; });
    QTest::keyClicks(box, "a1-2 b3");
    EXPECT_EQ(box->text(), "123");
    EXPECT_GE(popupsHidden, 7);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(box->text(), "1");
    prompts.answers = {true};
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(prompts.warnings, QStringList{"Want to change device id?"});
    EXPECT_EQ(model.systemRecord[3], 1);
    EXPECT_EQ(box->text(), "1"); // Enter adds nothing to the box
}

TEST_F(DeviceAdminTest, BroadcastSendsWritesToEveryDeviceAndReadsTheSelectedOne)
{
    const char* const off[] = {"rzgrpbx4", "cbb_load2dev", "btn41", "btn_load_20grp2pc", "btn_changetermthr"};
    choose("cbb_deviceid", 2);
    EXPECT_EQ(sender.deviceAddress, 2);
    combo("cbb_deviceid")->setCurrentIndex(9); // selected by the program: the address waits
    EXPECT_EQ(sender.deviceAddress, 2);
    combo("cbb_deviceid")->setCurrentIndex(2);
    click("btn_broadcase");
    EXPECT_TRUE(sender.broadcast);
    EXPECT_EQ(sender.deviceAddress, 255);
    EXPECT_EQ(face("btn_broadcase"), QColor(0, 128, 0));
    for (const char* name : off)
        EXPECT_FALSE(enabled(name)) << name;
    EXPECT_TRUE(enabled("btn_save2dev"));

    link = LinkState::Bus;
    EXPECT_EQ(addressesOfTwoTicks(), std::pair(255, 2)); // the chunk write, the meter read
    // Choosing another device moves the meter reads, not the writes.
    choose("cbb_deviceid", 5);
    EXPECT_EQ(addressesOfTwoTicks(), std::pair(255, 5));
    // Only while disconnected.
    click("btn_broadcase");
    EXPECT_EQ(prompts.messages, QStringList{"Please disconnect."});
    EXPECT_TRUE(sender.broadcast);

    link = LinkState::Closed;
    click("btn_broadcase");
    EXPECT_FALSE(sender.broadcast);
    EXPECT_EQ(sender.deviceAddress, 5);
    EXPECT_EQ(face("btn_broadcase"), QColor(224, 224, 224));
    for (const char* name : off)
        EXPECT_TRUE(enabled(name)) << name;
}

TEST_F(DeviceAdminTest, ThresholdIsWrittenOnYesAndRestoredOnNo)
{
    // Disconnected: nothing happens.
    choose("cbb_TemperatureThr", 5);
    click("btn_changetermthr");
    EXPECT_TRUE(prompts.questions.isEmpty());

    link = LinkState::Bus;
    prompts.answers = {false};
    click("btn_changetermthr");
    EXPECT_EQ(prompts.warnings, QStringList{"Do you want to change the temperature threshold level?"});
    EXPECT_EQ(combo("cbb_TemperatureThr")->currentIndex(), 10);
    EXPECT_EQ(std::pair(model.systemRecord[7], model.lowestPending()), std::pair(10, -1));

    choose("cbb_TemperatureThr", 5);
    EXPECT_EQ(combo("cbb_TemperatureThr")->currentText(), "60'");
    prompts.answers = {true};
    click("btn_changetermthr");
    EXPECT_EQ(model.systemRecord[7], 5);
    const auto frames = tick(2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(commandOf(frames[0]), frame::kCmdWriteSystemRecord);
    EXPECT_EQ(Bytes(frames[0].begin() + 10, frames[0].begin() + 18), (Bytes{10, 11, 12, 1, 14, 15, 16, 5}));
    EXPECT_EQ(commandOf(frames[1]), frame::kCmdMeters); // one write only
}

// While a transfer runs a choice is put back, and the chosen device pushed
// with it (twice in a row too): read-backs and the next read stay with the device shown.
TEST_F(DeviceAdminTest, AChoiceRefusedDuringATransferIsPutBackEverywhere)
{
    link = LinkState::Bus;
    choose("cbb_deviceid", 3);
    transferRunning = true;
    for (int refused : {7, 9}) {
        choose("cbb_deviceid", refused);
        EXPECT_EQ(std::pair(combo("cbb_deviceid")->currentIndex(), sender.selectedAddress()), std::pair(3, 3));
    }
    EXPECT_EQ(prompts.messages, QStringList(2, kTransferRunningMessage));
}

TEST(DeviceIdEntry, OnlyWholeNumbersFrom1To250)
{
    for (const char* bad : {"0", "251", "", "-1", "+5", " 5", "12a", "1.0", "99999999999999999999"})
        EXPECT_EQ(parseDeviceId(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(std::tuple(parseDeviceId("1"), parseDeviceId("250"), parseDeviceId("007")), std::tuple(1, 250, 7));
}
