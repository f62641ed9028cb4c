#include "model/group_file.h"

#include "support/files.h"
#include "support/group_images.h"

#include <algorithm>
#include <cctype>

using namespace talvex::groupfile;
using talvex::testing::patternImage;
using talvex::testing::storedGroupTexts;

namespace {

std::string allGroupsFile() { return *formatAllGroups(storedGroupTexts()); }

// Where a damaged text went wrong: group, line, column and pair.
std::tuple<int, int, int, int> placeOf(const ParseResult& parsed)
{
    EXPECT_EQ(parsed.status, Status::Damaged);
    return {parsed.fault.group, parsed.fault.line, parsed.fault.column, parsed.fault.pair};
}
bool names(const ParseResult& parsed, const std::string& words)
{
    return parsed.fault.reason.find(words) != std::string::npos;
}

// Replaces line n (counting from 1) of a CR LF file.
std::string withLine(const std::string& file, int n, const std::string& line)
{
    auto lines = splitLines(file);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += i + 1 == std::size_t(n) ? std::string_view(line) : lines[i];
        out += "\r\n";
    }
    return out;
}

} // namespace

TEST(GroupFile, OneGroupRoundTripIsTwoCrLfLines)
{
    const GroupImage image = patternImage(3);
    const std::string text = makeGroupText(image, 2, 0, 0x28);
    ASSERT_EQ(text.size(), kGroupTextLength);
    EXPECT_EQ(text.substr(0, 20), "A5A5A502520028000280");
    EXPECT_EQ(text.substr(kGroupTextLength - 2), "AA");
    EXPECT_TRUE(checksumMatches(text));

    const auto file = formatOneGroup(text);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, text.substr(0, kFirstLineLength) + "\r\n" + text.substr(kFirstLineLength) + "\r\n");

    const ParseResult parsed = parseOneGroup(*file);
    ASSERT_TRUE(parsed.ok()) << parsed.fault.reason;
    ASSERT_EQ(parsed.groups.size(), 1u);
    EXPECT_EQ(parsed.groups[0].image, image);
    EXPECT_EQ(parsed.groups[0].text, text);
    const Header header = headerOf(text);
    EXPECT_EQ(std::tuple(header.address, header.marker, header.command, header.length, header.end),
              std::tuple(2, 0x52, 0x28, 640, 0xAA));
}

TEST(GroupFile, AGroupTextSplitAnywhereOrKeptWholeLoads)
{
    const GroupImage image = patternImage(5);
    const std::string text = makeGroupText(image, 0, 0, 0x28);
    for (const char* end : {"\r\n", "\n", "\r"}) {
        for (std::size_t split = 0; split <= text.size(); ++split) {
            const std::string file = text.substr(0, split) + end + text.substr(split) + end;
            const ParseResult parsed = parseOneGroup(file);
            ASSERT_TRUE(parsed.ok()) << "split " << split << ": " << parsed.fault.reason;
            ASSERT_EQ(parsed.groups[0].image, image) << split;
        }
    }

    // Without a final line end, and with a byte order mark in front.
    EXPECT_TRUE(parseOneGroup(text).ok());
    EXPECT_TRUE(parseOneGroup("\xEF\xBB\xBF" + text + "\r\n").ok());
}

TEST(GroupFile, LowerCaseHexAndForeignHeadersAreAccepted)
{
    const GroupImage image = patternImage(9);
    std::string text = makeGroupText(image, 2, 0, 0x28);
    // Saved from another device, with another command, index and a wrong checksum.
    text.replace(6, 8, "06520729");
    text.replace(kGroupTextLength - 4, 2, "00");
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    EXPECT_FALSE(checksumMatches(text));
    const ParseResult parsed = parseOneGroup(*formatOneGroup(text));
    ASSERT_TRUE(parsed.ok()) << parsed.fault.reason;
    EXPECT_EQ(parsed.groups[0].image, image);
    EXPECT_EQ(parsed.groups[0].text, text); // kept as stored
    EXPECT_EQ(std::pair(headerOf(text).address, headerOf(text).index), std::pair(6, 7));
}

TEST(GroupFile, OneGroupFaultsNameTheirPlace)
{
    const std::string text = makeGroupText(patternImage(1), 0, 0, 0x28);
    EXPECT_EQ(parseOneGroup("").status, Status::Empty);
    EXPECT_EQ(parseOneGroup("\r\n\r\n").status, Status::Empty);

    for (std::size_t length : {kGroupTextLength - 1, kGroupTextLength + 1, std::size_t(2)}) {
        std::string wrong = text;
        wrong.resize(length, '0');
        const ParseResult parsed = parseOneGroup(wrong);
        ASSERT_EQ(parsed.status, Status::Damaged) << length;
        EXPECT_EQ(parsed.fault.pair, 0);
        EXPECT_TRUE(names(parsed, std::to_string(length) + " characters")) << parsed.fault.reason;
    }

    // Character 701 (line 2, column 49 once split in two): second of pair 351.
    std::string bad = *formatOneGroup(text);
    bad[kFirstLineLength + 2 + 48] = 'G';
    ParseResult parsed = parseOneGroup(bad);
    EXPECT_EQ(placeOf(parsed), std::tuple(1, 2, 49, 351));
    EXPECT_TRUE(names(parsed, "pair 351") && names(parsed, "line 2, character 49")) << parsed.fault.reason;
    // A pair that straddles the two lines, wrong in its second half.
    std::string straddle = text.substr(0, 651) + "\r\n" + text.substr(651) + "\r\n";
    straddle[651 + 2] = ' ';
    EXPECT_EQ(placeOf(parseOneGroup(straddle)), std::tuple(1, 2, 1, 326));
    // The header must be hex too, though it is not used.
    std::string header = text;
    header[0] = 'X';
    EXPECT_EQ(placeOf(parseOneGroup(header)), std::tuple(1, 1, 1, 1));
    // Either digit of a pair spoils it: the low one alone, with every kind of neighbour of the hex ranges.
    for (char digit : {'G', 'g', ':', '/', '@', '`', ' '}) {
        std::string low = text;
        low[2 * 99 + 1] = digit; // second character of pair 100
        Fault fault;
        EXPECT_FALSE(parseGroupText(low, &fault)) << digit;
        EXPECT_EQ(fault.pair, 100) << digit;
    }
}

TEST(GroupFile, AllGroupsRoundTripKeepsTheOrder)
{
    const auto texts = storedGroupTexts();
    const std::string file = allGroupsFile();
    EXPECT_EQ(splitLines(file).size(), 40u);
    const ParseResult parsed = parseAllGroups(file);
    ASSERT_TRUE(parsed.ok()) << parsed.fault.reason;
    ASSERT_EQ(parsed.groups.size(), 20u);
    for (int g = 0; g < 20; ++g) {
        EXPECT_EQ(parsed.groups[g].image, patternImage(g + 1)) << g;
        EXPECT_EQ(parsed.groups[g].text, texts[g]);
    }
    EXPECT_FALSE(formatAllGroups(std::span(texts).first(19)));
    auto shortText = texts;
    shortText[4].pop_back();
    EXPECT_FALSE(formatAllGroups(shortText));
    EXPECT_FALSE(formatOneGroup(shortText[4]));
}

TEST(GroupFile, AllGroupsFaults)
{
    const std::string file = allGroupsFile();
    EXPECT_EQ(parseAllGroups("").status, Status::Empty);

    auto lines = splitLines(file);
    const std::string thirtyNine = file.substr(0, file.size() - lines[39].size() - 2), fortyOne = file + "\r\n";
    for (const auto& [content, count] : {std::pair{thirtyNine, "39"}, std::pair{fortyOne, "41"}}) {
        const ParseResult parsed = parseAllGroups(content);
        EXPECT_EQ(std::get<0>(placeOf(parsed)), 0);
        EXPECT_TRUE(names(parsed, std::string("has ") + count + " lines")) << parsed.fault.reason;
    }

    // Only group 20 one character too long.
    const ParseResult parsed = parseAllGroups(withLine(file, 40, std::string(lines[39]) + "0"));
    EXPECT_EQ(std::get<0>(placeOf(parsed)), 20);
    EXPECT_TRUE(parsed.groups.empty());
    EXPECT_TRUE(names(parsed, "group 20 (lines 39 and 40) holds 1305 characters")) << parsed.fault.reason;
    // Group 7 moved by one character between its lines still reads; a bad pair
    // in group 12 is named by its file line.
    std::string moved = withLine(file, 13, std::string(lines[12]) + std::string(lines[13].substr(0, 1)));
    moved = withLine(moved, 14, std::string(lines[13].substr(1)));
    EXPECT_TRUE(parseAllGroups(moved).ok());
    std::string bad(lines[23]);
    bad[10] = 'z';
    EXPECT_EQ(placeOf(parseAllGroups(withLine(file, 24, bad))), std::tuple(12, 24, 11, 326 + 6));
}

TEST(GroupFile, HugeAndBinaryFilesAreDamagedNotRead)
{
    std::string huge = allGroupsFile();
    huge.resize(kMaxFileBytes + 1, '0');
    std::mt19937 random(7);
    std::string binary(26000, '\0');
    for (char& c : binary)
        c = char(random());
    for (const std::string* content : {&huge, &binary}) {
        EXPECT_EQ(parseAllGroups(*content).status, Status::Damaged);
        EXPECT_EQ(parseOneGroup(*content).status, Status::Damaged);
    }

    // NUL bytes where the digits should be.
    std::string nuls = *formatOneGroup(makeGroupText(patternImage(2), 0, 0, 0x28));
    std::fill(nuls.begin() + 100, nuls.begin() + 110, '\0');
    const ParseResult parsed = parseOneGroup(nuls);
    ASSERT_EQ(parsed.status, Status::Damaged);
    EXPECT_TRUE(names(parsed, "byte 0x00")) << parsed.fault.reason;
}

TEST(GroupFile, ReadFileStopsJustPastTheLimit)
{
    const talvex::testing::TempFolder dir;
    talvex::testing::writeText(dir / "big.datgrp", std::string(kMaxFileBytes + 4096, 'A'));
    auto content = readFile(dir / "big.datgrp");
    ASSERT_TRUE(content);
    EXPECT_EQ(content->size(), kMaxFileBytes + 1);
    std::string error;
    EXPECT_FALSE(readFile(dir / "missing.datgrp", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(readFile(dir.dir, &error));
}
