// The parameter lines of talvex-group show and diff, on files saved from the
// virtual amplifier after known edits.

#include "group_files.h"
#include "group_report.h"

#include "support/amplifier.h"
#include "support/files.h"

#include "model/parameter_model.h"

using namespace talvex;
using namespace talvex::testing;
using namespace talvex::grouptool;

namespace {

// An edit as the amplifier keeps it: the entry of its working group (the write that carries it is the
// link suite's and the virtual amplifier's concern).
void edit(vamp::VirtualBus& bus, int entry, int value)
{
    bus.devices().front().image()[std::size_t(entry)] = std::uint8_t(value);
}

struct SavedFiles : ::testing::Test {
    TempFolder folder;
    vamp::VirtualBus bus;

    SavedFiles() { bus.add(3); }

    std::string saveOneGroup(const std::string& name) { return folder.write(name, oneGroupFile(bus)); }
    std::string saveAllGroups(const std::string& name) { return folder.write(name, allGroupsFile(bus)); }
};

// A 16-bit code into an image as two little-endian entries.
void put16(groupfile::GroupImage& image, int entry, int code)
{
    image[std::size_t(entry)] = std::uint8_t(code % 256);
    image[std::size_t(entry) + 1] = std::uint8_t(code / 256);
}
void edit16(vamp::VirtualBus& bus, int entry, int code) { put16(bus.devices().front().image(), entry, code); }

// The lines `show` prints for one channel of an image, with the ones at the given indices checked.
std::vector<std::string> shown(const groupfile::GroupImage& image, int channel,
                               std::initializer_list<std::pair<std::size_t, const char*>> expected)
{
    const std::vector<std::string> out = lines(showChannel(viewChannel(image, channel)));
    for (const auto& [index, text] : expected)
        EXPECT_EQ(index < out.size() ? out[index] : "(none)", text) << channelName(channel) << " line " << index;
    return out;
}

groupfile::GroupImage defaults()
{
    ParameterModel model;
    model.writeDefaults();
    groupfile::GroupImage image{};
    std::copy(model.image.begin(), model.image.end(), image.begin());
    return image;
}

} // namespace

TEST_F(SavedFiles, ShowPrintsEveryChannelInTheEditorsTexts)
{
    // The amplifier starts at Main 0 dB, High -2 dB, Mid muted, High band 3 at +6 dB.
    edit16(bus, outputBlockStart(2) + kOutDelay, 1440);
    edit16(bus, bandRecord(2, 9) + kBandQ, 78);
    for (const auto& [entry, value] : {std::pair{outputBlockStart(2) + kOutRecoup, 1}, {outputBlockStart(1) + kOutLimiter, 19},
                                       {kBridgeMode, 2}, {crossoverRecord(1) + kLpfFrequency, 136},
                                       {crossoverRecord(1) + kLpfType, 7}, {bandRecord(2, 9) + kBandType, 4}})
        edit(bus, entry, value);
    const LoadedFile file = loadGroupFile(saveOneGroup("edited.datdsp"));
    ASSERT_TRUE(file.ok()) << file.error;
    ASSERT_FALSE(file.allGroups);
    const auto& image = file.groups.at(0).image;
    EXPECT_EQ(groupHeading(file.groups[0], 0), "Current group, read from Device ID 3");

    EXPECT_EQ(shown(image, 0, {{0, "Main"}, {1, "  gain: 0dB"}, {4, "  bridge mode: high-mid BTL"},
                               {7, "  LPF frequency: 20100.0 Hz"}, {9, "  band  type  frequency  gain    Q"},
                               {10, "  EQ1   PEQ   19.7 Hz    0.0 dB  4.072"},
                               {19, "  EQ10  PEQ   265.0 Hz   0.0 dB  4.072"}})
                  .size(),
              9u + 11);
    shown(image, 1, {{0, "High"}, {1, "  mute: off"}, {3, "  gain: -2dB"}, {10, "  LPF frequency: 1000.0 Hz"},
                     {11, "  LPF type: 24db-LR"}, {15, "  EQ3   PEQ   35.1 Hz    6.0 dB  4.072"}});
    EXPECT_EQ(shown(image, 2, {{1, "  mute: on"}, {5, "  limiter threshold: -1.0dB"}, {6, "  limiter attack: 0.5ms"},
                               {7, "  limiter release: 300ms"}})
                  .back(),
              "  EQ10  HS12  265.0 Hz   0.0 dB  92.302");
    const auto low = shown(image, 3, {{4, "  delay: 14.976 ms"}, {8, "  recoup: on"}});
    EXPECT_EQ(low.size(), 9u + 4 + 11);
}

TEST_F(SavedFiles, DiffNamesExactlyTheEditedParameters)
{
    const std::string before = saveAllGroups("before.datgrp");
    const std::string beforeOne = saveOneGroup("before.datdsp");
    edit16(bus, outputBlockStart(0) + kOutGain, 250);
    edit16(bus, bandRecord(0, 0) + kBandGain, 135);
    edit(bus, bandRecord(3, 4) + kBandFrequency, 243);
    bus.devices().front().image()[605] = 1; // image tail: carried, never shown, but not equal either
    const std::string after = saveOneGroup("after.datdsp");

    const LoadedFile a = loadGroupFile(beforeOne), b = loadGroupFile(after);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(diffGroups("current", a.groups[0].image, b.groups[0].image),
              (std::vector<std::string>{"current / Main / EQ1 gain: 0.0 dB \u2192 3.0 dB",
                                        "current / High / gain: -2dB \u2192 -10dB",
                                        "current / Low / EQ5 frequency: 62.5 Hz \u2192 21900.0 Hz",
                                        "current / tail / entry 605 (reserved): 0 \u2192 1"}));
    EXPECT_TRUE(diffGroups("current", a.groups[0].image, a.groups[0].image).empty());

    // The all-groups file saved before holds the factory group twenty times.
    const LoadedFile all = loadGroupFile(before);
    ASSERT_TRUE(all.ok() && all.allGroups);
    ASSERT_EQ(all.groups.size(), 20u);
    EXPECT_EQ(groupHeading(all.groups[6], 7), "Group 7, read from Device ID 3");
    EXPECT_TRUE(diffGroups("7", all.groups[6].image, a.groups[0].image).empty());
}

TEST(GroupReport, EveryEntryOfTheImageReachesADiff)
{
    const groupfile::GroupImage base = defaults();
    for (int entry = 0; entry < kImageSize; ++entry) {
        groupfile::GroupImage changed = base;
        changed[std::size_t(entry)] = std::uint8_t(changed[std::size_t(entry)] + 1);
        const auto diff = diffGroups("1", base, changed);
        ASSERT_EQ(diff.size(), 1u) << "entry " << entry;
        const int channel = entry < 144 ? 0 : entry < 600 ? 1 + (entry - 144) / 152 : 4;
        EXPECT_TRUE(diff[0].starts_with("1 / " + std::string(channelName(channel)) + " / ")) << diff[0];
    }
    // Reserved entries are in diffs only, never in show.
    EXPECT_EQ(groupParameters(base, false).size(), 4u * 40 + 8 + 11 + 11 + 12);
}

TEST(GroupReport, CodesTheEditorCannotShowAreMarked)
{
    groupfile::GroupImage image = defaults();
    for (const auto& [entry, code] : {std::pair{kBandFrequency, 250}, {kBandType, 7}, {kBandGain, 200}, {kBandQ, 79}})
        image[std::size_t(bandRecord(1, 0) + entry)] = std::uint8_t(code);
    image[outputBlockStart(2) + kOutPolarity] = 2;
    put16(image, outputBlockStart(2) + kOutGain, 325); // Low stops at 0 dB
    put16(image, outputBlockStart(2) + kOutDelay, 1441);
    image[outputBlockStart(2) + kOutLimiter + 1] = 6;
    image[crossoverRecord(3) + kHpfType] = 12;
    image[kBridgeMode] = 4;

    const ChannelView high = viewChannel(image, 1);
    const auto& band = high.bands[0];
    EXPECT_EQ((std::array{band.frequency, band.type, band.gain, band.q}),
              (std::array<std::string, 4>{"21900.0 Hz (code 250)", "code 7", "12.0 dB (code 200)", "92.302 (code 79)"}));
    const ChannelView low = viewChannel(image, 3);
    for (const auto& [index, value] : {std::pair{1, "- (code 2)"}, {2, "5dB (code 325)"}, {3, "14.9864 ms (code 1441)"},
                                       {5, "code 6"}, {9, "code 12"}})
        EXPECT_EQ(low.settings[std::size_t(index)].value, value) << index;
    EXPECT_EQ(viewChannel(image, 0).settings[3].value, "code 4");
    put16(image, outputBlockStart(0) + kOutGain, 325); // High and Mid reach +5 dB
    EXPECT_EQ(viewChannel(image, 1).settings[2].value, "5dB");
}

TEST_F(SavedFiles, FilesOfEveryKindLoadOrSayWhy)
{
    for (const auto& [name, content] : {std::pair{"notes.txt", "shopping list\r\nmilk\r\n"}, {"empty.datgrp", ""}}) {
        const LoadedFile damaged = loadGroupFile(folder.write(name, content));
        EXPECT_TRUE(damaged.error.starts_with("File damaged.\n")) << damaged.error;
    }
    const LoadedFile missing = loadGroupFile((folder / "missing.datdsp").string());
    EXPECT_NE(missing.error.find("cannot be read"), std::string::npos) << missing.error;

    // Another extension: forty lines read as an all-groups file.
    std::vector<std::string> texts(20, readReplyText(bus, 0, frame::kCmdCurrentGroup));
    const LoadedFile renamed = loadGroupFile(folder.write("groups.txt", *groupfile::formatAllGroups(texts)));
    ASSERT_TRUE(renamed.ok()) << renamed.error;
    EXPECT_TRUE(renamed.allGroups);
}
