// Preset load, save slot, name box and the queued name write, on real widgets.
#include "presets_fixture.h"

#include <QKeyEvent>

using namespace talvex;
using namespace talvex::testing;

namespace {

std::string nameOf(const ParameterModel& model, int n)
{
    const auto& name = model.presetNames[std::size_t(n - 1)];
    return std::string(name.begin(), name.end());
}

void typeCharacter(QWidget* box, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &release);
}

} // namespace

class PresetPanelTest : public PresetsTest {
protected:
    QComboBox* load() { return combo("cbb_load2dev"); }
    QComboBox* save() { return combo("cbb_save2dev"); }
    QLineEdit* box() { return control<QLineEdit>("edt_save2dev"); }
};

TEST_F(PresetPanelTest, SaveTrimsPadsAndQueuesTheName)
{
    save()->setCurrentIndex(5); // "Pre5:"
    box()->setText("  Live 1 ");
    click("btn_save2dev");
    EXPECT_EQ(box()->text(), "Live 1");
    EXPECT_EQ(nameOf(model, 6), "Live 1              ");
    EXPECT_EQ(model.systemRecord[0], 6);
    EXPECT_TRUE(model.pending[kPresetNameChunk]);
    EXPECT_EQ(std::pair(load()->itemText(5), load()->currentIndex()), std::pair(QString("Pre5:Live 1"), 5));
    EXPECT_TRUE(transport.serialWrites.empty()); // queued, not sent

    save()->setCurrentIndex(0);
    box()->clear();
    click("btn_save2dev");
    EXPECT_EQ(nameOf(model, 1), std::string(20, ' '));
    EXPECT_EQ(load()->itemText(0), "Usr0:");
}

TEST_F(PresetPanelTest, NothingWhileDisconnectedOrWithoutASlot)
{
    link = LinkState::Closed;
    save()->setCurrentIndex(2);
    box()->setText(" x ");
    click("btn_save2dev");
    click("btn_load2dev");
    EXPECT_EQ(box()->text(), " x ");
    EXPECT_FALSE(model.pending[kPresetNameChunk] || progressShown);
    EXPECT_TRUE(delays.empty());

    link = LinkState::Bus;
    save()->setCurrentIndex(-1); // a last preset above 8 selects nothing
    click("btn_save2dev");
    EXPECT_FALSE(model.pending[kPresetNameChunk]);
    EXPECT_EQ(prompts.messages, QStringList{"Choose a preset slot to save to first."});
}

TEST_F(PresetPanelTest, TheNameWriteGoesOutWithItsPausesAndMessage)
{
    save()->setCurrentIndex(2);
    box()->setText("Hall");
    click("btn_save2dev");
    model.pending[3] = true; // a lower chunk goes first
    sender.sendNextChunkOrMeterRead();
    EXPECT_TRUE(prompts.messages.isEmpty());
    takeFrames();

    sender.sendNextChunkOrMeterRead();
    const auto frames = takeFrames(); // on a shared bus every second writing tick reads the meters too
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].command, frame::kCmdMeters);
    const frame::Frame& sent = frames[0];
    EXPECT_EQ(head(sent), std::tuple(frame::kOpWrite, frame::kCmdWritePresetName, 3));
    EXPECT_EQ(std::string(sent.payload.begin(), sent.payload.end()), "Hall                ");
    // The pulse waits 500 ms, then the message; 500 ms later nothing more (no broadcast).
    EXPECT_EQ(std::tuple(delays, channel.sendPulse, prompts.messages),
              std::tuple(std::vector<int>{500}, false, QStringList{}));
    clock.advance(500);
    EXPECT_EQ(delays, (std::vector<int>{500, 500}));
    EXPECT_EQ(prompts.messages, QStringList{"Save success!!"});
    EXPECT_TRUE(!model.pending[kPresetNameChunk] && channel.sendPulse);
    clock.advance(500);
    EXPECT_TRUE(takeFrames().empty());
    // In broadcast mode the saved settings are read back from the selected device.
    sender.broadcast = true;
    sender.deviceAddress = frame::kBroadcastAddress;
    click("btn_save2dev");
    sender.sendNextChunkOrMeterRead();
    EXPECT_EQ(takeFrames().front().address, frame::kBroadcastAddress);
    clock.advance(1000);
    const frame::Frame readBack = takeOnlyFrame();
    EXPECT_EQ(head(readBack), std::tuple(frame::kOpRead, frame::kCmdCurrentGroup, 0));
    EXPECT_EQ(readBack.address, 4);
    // A link lost in the first pause: the pulse stays stopped, no message.
    prompts.messages.clear();
    model.pending[kPresetNameChunk] = true;
    sender.sendNextChunkOrMeterRead();
    takeFrames();
    loseLink(false);
    clock.advance(1000);
    EXPECT_TRUE(!channel.sendPulse && prompts.messages.isEmpty() && takeFrames().empty());
}

TEST_F(PresetPanelTest, ChoosingASlotShowsItsStoredName)
{
    auto setName = [this](int n, const char* text) {
        auto& name = model.presetNames[std::size_t(n - 1)];
        name.fill(0);
        std::copy_n(text, std::strlen(text), name.begin());
    };
    setName(2, "Stage Left");
    setName(3, "ABCDEFGHIJKLMNOPQRST"); // all twenty characters
    setName(4, "Bad");
    model.presetNames[3][10] = 255;
    for (const auto& [slot, shown] : {std::pair{1, "Stage Left          "}, {2, "ABCDEFGHIJKLMNOPQRST"}, {3, ""}}) {
        choose("cbb_save2dev", slot);
        EXPECT_EQ(box()->text(), shown) << slot;
    }
    // Selected by the program (the system record of a connect): the box stays.
    save()->setCurrentIndex(1);
    EXPECT_TRUE(box()->text().isEmpty());
}

TEST_F(PresetPanelTest, NameBoxTakesPrintableCharactersOnlyAndEnterSaves)
{
    QLineEdit* edit = box();
    choose("cbb_save2dev", 7);
    EXPECT_EQ(edit->text(), QString(20, u' ')); // an unnamed slot: twenty blanks
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, "Club ~1");
    typeCharacter(edit, Qt::Key_Eacute, QString(QChar(0xE9)));
    typeCharacter(edit, Qt::Key_unknown, QString(QChar(0x7F)));
    typeCharacter(edit, Qt::Key_Escape, QString(QChar(0x1B)));
    EXPECT_EQ(edit->text(), "Club ~1");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "Club ~");
    QTest::keyClicks(edit, "0123456789abcdefghij");
    EXPECT_EQ(edit->text(), "Club ~0123456789abc"); // 19 typed at most
    // A pasted text with a character above 126 is refused whole.
    edit->clear();
    edit->insert(QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_TRUE(edit->text().isEmpty());

    edit->setText(" Night ");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(nameOf(model, 8), "Night               ");
    EXPECT_EQ(load()->itemText(7), "Pre7:Night");
    EXPECT_TRUE(model.pending[kPresetNameChunk]);
    // A click selects the whole name.
    edit->setText("Night");
    edit->deselect();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE(edit->selectedText(), QString("Night"));
}

TEST_F(PresetPanelTest, LoadStopsTheTimersAndReadsThePreset)
{
    load()->setCurrentIndex(4);
    click("btn_load2dev");
    EXPECT_GT(popupsHidden, 0);
    EXPECT_TRUE(progressShown && progressAnimated);
    EXPECT_TRUE(timersStopped());
    EXPECT_EQ(delays, std::vector<int>{200});
    EXPECT_TRUE(takeFrames().empty());
    clock.advance(200);
    EXPECT_EQ(head(takeOnlyFrame()), std::tuple(frame::kOpRead, frame::kCmdCurrentGroup, 5));
    EXPECT_EQ(std::pair(model.systemRecord[0], transfer->groupCounter()), std::pair(5, 0));
    EXPECT_TRUE(transfer->busy() && running("group reply deadline"));
    // The reply ends the wait (the window then restarts the timers).
    transfer->currentGroupReceived(replyOf(groupfile::makeGroupText(patternImage(1), 0, 5, frame::kCmdCurrentGroup)));
    EXPECT_FALSE(transfer->busy());
    // A reply that never comes: the timers run again after the deadline.
    click("btn_load2dev");
    clock.advance(200 + 10000);
    EXPECT_TRUE(idle() && !progressShown);
    EXPECT_TRUE(prompts.messages.isEmpty());
}
