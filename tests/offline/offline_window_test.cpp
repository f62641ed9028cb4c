// Group files opened, edited and saved without an amplifier, then sent or set
// aside on Connect; unsaved changes on close and on opening another file.
#include "support/amplifier.h"
#include "support/files.h"
#include "support/group_images.h"
#include "support/window.h"

#include "app/command_line.h"
#include "offline/offline_document.h"

#include <algorithm>
#include <cctype>

using namespace talvex;
using namespace talvex::testing;

namespace {

const QString kTitle = QStringLiteral("Talvex-96K V3.8.0 U");
constexpr int kMute = outputBlockStart(0) + kOutMute; // what btn_op0_mute toggles

groupfile::GroupImage imageOf(const ParameterModel& model)
{
    groupfile::GroupImage image{};
    std::copy(model.image.begin(), model.image.end(), image.begin());
    return image;
}

std::string oneGroupFileOf(const groupfile::GroupImage& image)
{
    return *groupfile::formatOneGroup(groupfile::makeGroupText(image, 0, 0, frame::kCmdCurrentGroup));
}

} // namespace

class OfflineTest : public WindowTest {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); makeWindow(); }
    OfflineDocument& document() { return part<OfflineDocument>(); }
    void trigger(const char* action) { control<QAction>(action)->trigger(); }
    // Writes `name` and opens it through the File menu (picking group `pick` + 1 of an all-groups file).
    void openFile(const char* name, const std::string& content, int pick = -1)
    {
        writeFile(path(name), content);
        fileDialogs.answers = {path(name)};
        if (pick >= 0)
            prompts.itemAnswers = {pick};
        trigger("actionOpenGroupFile");
    }
    // The amplifier's group with a gain of its own, so a read or a send shows.
    groupfile::GroupImage fileImage()
    {
        auto image = amp.image();
        image[kMainGain] = 200; // -20 dB
        image[kMainGain + 1] = 0;
        return image;
    }
};

TEST_F(OfflineTest, OpenEditAndSaveBothKinds)
{
    // The groups not edited keep their LF line ends and lower-case digits.
    std::string all;
    for (std::string text : storedGroupTexts()) {
        std::ranges::transform(text, text.begin(), [](char c) { return char(std::tolower(c)); });
        all += text.substr(0, 600) + "\n" + text.substr(600) + "\n";
    }
    struct Case { const char* name; std::string content; int pick; groupfile::GroupImage image; QString title; };
    for (const Case& c : {Case{"one.datdsp", oneGroupFileOf(fileImage()), -1, fileImage(), "one.datdsp[*] - " + kTitle},
                          Case{"all.datgrp", all, 6, patternImage(7), "all.datgrp, group 7[*] - " + kTitle}}) {
        SCOPED_TRACE(c.name);
        openFile(c.name, c.content, c.pick);
        ASSERT_TRUE(document().isOpen());
        EXPECT_EQ(window->windowTitle(), c.title);
        EXPECT_TRUE(enabled("grp2") && enabled("rzgrpbx5"));
        EXPECT_EQ(imageOf(model()), c.image);
        EXPECT_EQ(std::ranges::count(model().pending, true), 0);
        click("btn_op0_mute");
        EXPECT_TRUE(window->isWindowModified());
        trigger("actionSave");
        EXPECT_FALSE(window->isWindowModified());

        const std::string saved = readFile(path(c.name));
        const bool allGroups = c.pick >= 0;
        const auto parsed = allGroups ? groupfile::parseAllGroups(saved) : groupfile::parseOneGroup(saved);
        ASSERT_TRUE(parsed.ok()) << parsed.fault.reason;
        const groupfile::Group& group = parsed.groups[allGroups ? std::size_t(c.pick) : 0];
        EXPECT_EQ(group.image, imageOf(model()));
        EXPECT_NE(group.image[kMute], c.image[kMute]);
        EXPECT_TRUE(groupfile::checksumMatches(group.text));
        if (allGroups) {
            const auto before = lines(c.content);
            const auto after = lines(saved);
            ASSERT_EQ(after.size(), 40u);
            for (std::size_t i = 0; i < 40; ++i)
                if (i != 12 && i != 13) {
                    EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
                }
            EXPECT_EQ(after[12].substr(0, 20), before[12].substr(0, 20)); // the header as stored
        }
    }
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(frames.empty()); // nothing sent while offline
}

TEST_F(OfflineTest, DamagedFilesOpenNothing)
{
    std::string badDigit = oneGroupFileOf(fileImage());
    badDigit[100] = 'G';
    const std::string all = *groupfile::formatAllGroups(storedGroupTexts());
    const std::pair<const char*, std::string> cases[] = {
        {"digit.datdsp", badDigit}, {"39.datgrp", all.substr(0, all.size() - 654)}, {"empty.datdsp", ""}};
    const auto defaults = imageOf(model());
    for (const auto& [name, content] : cases) {
        prompts.messages.clear();
        openFile(name, content, 0);
        EXPECT_EQ(prompts.messages, QStringList{"File damaged."}) << name;
        EXPECT_FALSE(document().isOpen());
        EXPECT_EQ(imageOf(model()), defaults);
    }
}

TEST_F(OfflineTest, SaveAsAndAFailedSave)
{
    openFile("all.datgrp", *groupfile::formatAllGroups(storedGroupTexts()), 2);
    click("btn_op0_mute");
    fileDialogs.answers = {path("missing/three.datdsp")};
    trigger("actionSaveAs");
    EXPECT_TRUE(prompts.messages.value(0).startsWith("Could not save")) << prompts.messages.join('|').toStdString();
    EXPECT_TRUE(window->isWindowModified()); // the edits are kept
    // Out of an all-groups file, either kind can be chosen; a one-group file keeps the device's current group.
    EXPECT_TRUE(fileDialogs.asked.back().options.filter.contains("*.datgrp"));
    fileDialogs.answers = {path("three.datdsp")};
    trigger("actionSaveAs");
    EXPECT_EQ(window->windowTitle(), "three.datdsp[*] - " + kTitle);
    EXPECT_FALSE(window->isWindowModified());
    const auto saved = groupfile::parseOneGroup(readFile(path("three.datdsp")));
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.groups[0].image, imageOf(model()));
    EXPECT_EQ(groupfile::headerOf(saved.groups[0].text).command, frame::kCmdCurrentGroup);
}

TEST_F(OfflineTest, SendOnConnectWritesTheFileToTheAmplifier)
{
    openFile("one.datdsp", oneGroupFileOf(fileImage()));
    click("btn_op0_mute");
    const auto sent = imageOf(model());
    prompts.buttonAnswers = {"Send to amplifier"};
    click("btn_connect");
    // Read-all, block write, 9.7 s pause, read-back.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !document().isOpen() && idleConnected(); }, 20000));
    EXPECT_EQ(amp.image(), sent);
    EXPECT_EQ(imageOf(model()), sent);
    EXPECT_EQ(window->windowTitle(), kTitle);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(OfflineTest, ReadFromAmplifierAsksToSaveFirst)
{
    openFile("one.datdsp", oneGroupFileOf(fileImage()));
    click("btn_op0_mute");
    const auto edited = imageOf(model());
    prompts.buttonAnswers = {"Read from amplifier", "Cancel"};
    click("btn_connect");
    EXPECT_FALSE(linked());
    EXPECT_TRUE(document().isOpen() && window->isWindowModified());

    prompts.buttonAnswers = {"Read from amplifier", "Save"};
    click("btn_connect");
    ASSERT_TRUE(QTest::qWaitFor([&] { return idleConnected(); }, 5000));
    EXPECT_EQ(imageOf(model()), amp.image());
    EXPECT_EQ(window->windowTitle(), kTitle);
    EXPECT_EQ(groupfile::parseOneGroup(readFile(path("one.datdsp"))).groups.at(0).image, edited);
}

TEST_F(OfflineTest, UnsavedChangesOnCloseAndOnOpeningAnother)
{
    struct Case { const char* answer; bool closes; bool saved; };
    for (const Case c : {Case{"Cancel", false, false}, Case{"Discard", true, false}, Case{"Save", true, true}}) {
        SCOPED_TRACE(c.answer);
        writeFile(path("one.datdsp"), oneGroupFileOf(fileImage()));
        ASSERT_TRUE(document().openFile(path("one.datdsp")));
        click("btn_op0_mute");
        prompts.buttonAnswers = {c.answer};
        EXPECT_EQ(window->close(), c.closes);
        const auto onDisk = groupfile::parseOneGroup(readFile(path("one.datdsp"))).groups.at(0).image;
        EXPECT_EQ(onDisk[kMute] != fileImage()[kMute], c.saved);
    }
    // Opening another file: Cancel keeps the one open, without asking for a file.
    click("btn_op0_mute");
    prompts.buttonAnswers = {"Cancel"};
    trigger("actionOpenGroupFile");
    EXPECT_TRUE(fileDialogs.asked.empty());
    EXPECT_TRUE(window->isWindowModified());
}

TEST(OfflineCommandLine, GroupFileAndGroup)
{
    const std::tuple<QStringList, QString, int, bool> cases[] = {
        {{"e", "--port", "/dev/x", "a.datgrp", "--group", "20"}, "a.datgrp", 20, false},
        {{"e", "a.datgrp", "--group", "21"}, "a.datgrp", 0, true},
        {{"e", "--group", "7x", "b.datgrp"}, "b.datgrp", 0, true},
    };
    for (const auto& [arguments, file, group, refused] : cases) {
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_EQ(std::tuple(line.groupFile, line.group, line.groupRefused), std::tuple(file, group, refused))
            << arguments.join(' ').toStdString();
    }
}
