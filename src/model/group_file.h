#pragma once
// Group files: the device's groups kept on the PC as text.
//
// A group text is the hexadecimal text of a whole reply frame that carries one
// 640-byte group, 1304 characters: "A5A5A5", address, "52", index, command,
// sub-index "00", length "0280", the 640 data bytes, checksum, "AA". It is kept
// exactly as it came from the device. In a file each group text takes two
// consecutive lines (any split reads back, because the two lines are joined);
// lines end with CR LF when written and may end with CR LF, LF or CR when read.
//
//   one-group file (".datdsp"):  the two lines of one group (the current group)
//   all-groups file (".datgrp"): 40 lines, stored groups 1 to 20 in order
//
// Loading uses only the 640 data bytes; the header, checksum and "AA" must be
// hexadecimal digits (either case) but are compared with nothing.
//
// Plain C++ with no Qt: the editor, the command-line tools and the fuzzer share it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvex::groupfile {

inline constexpr std::size_t kGroupBytes = 640;
inline constexpr std::size_t kGroupTextLength = 1304;      // 2 x (640 + 12)
inline constexpr std::size_t kPairCount = kGroupTextLength / 2;
inline constexpr std::size_t kDataStart = 20;              // first data character, counted from 0
inline constexpr int kStoredGroups = 20;
inline constexpr int kAllGroupsLines = 2 * kStoredGroups;
// Where a group text is split into its two lines when written: 326 pairs each.
inline constexpr std::size_t kFirstLineLength = kGroupTextLength / 2;
// An all-groups file is about 26 KiB; anything above this is not a group file
// and is refused without being read whole.
inline constexpr std::size_t kMaxFileBytes = std::size_t(1) << 20;

inline constexpr char kOneGroupExtension[] = "datdsp";
inline constexpr char kAllGroupsExtension[] = "datgrp";

using GroupImage = std::array<std::uint8_t, kGroupBytes>;

struct Group {
    std::string text;  // the 1304 characters as stored (case kept)
    GroupImage image{}; // parameter image entries 0..639 (data bytes of the frame)
};

// The frame fields of a validated group text, as stored.
struct Header {
    int address = 0;  // device address the reply came from
    int marker = 0;   // 0x52 in a reply
    int index = 0;    // 0 current group, 1..20 stored group
    int command = 0;  // 0x28 current group, 0x29 stored group
    int subIndex = 0;
    int length = 0;   // 640
    int checksum = 0; // as stored
    int end = 0;      // 0xAA
};

// Why a file was refused. Lines and columns count from 1; 0 means the fault
// is not at one place (the line count, a length, the file size).
struct Fault {
    int group = 0;  // 1..20 in an all-groups file, 1 in a one-group file, 0 for the whole file
    int line = 0;   // file line of the first wrong character
    int column = 0; // its position in that line
    int pair = 0;   // 1..652: the wrong character pair within the group text
    std::string reason; // one English sentence naming all of the above
};

enum class Status {
    Ok,      // groups holds one group (one-group file) or twenty (all-groups file)
    Empty,   // no text at all: nothing to load, and nothing to complain about
    Damaged, // fault says why
};

struct ParseResult {
    Status status = Status::Empty;
    std::vector<Group> groups;
    Fault fault;
    bool ok() const { return status == Status::Ok; }
};

// Splits a file's bytes into lines at CR LF, LF or CR. A terminator at the very
// end does not start another line; an empty text has no lines. A UTF-8 byte
// order mark at the start is skipped.
std::vector<std::string_view> splitLines(std::string_view content);

// Checks one group text (1304 characters, every pair hexadecimal) and decodes it.
// On failure `fault` names the pair (group, line and column left 0).
std::optional<Group> parseGroupText(std::string_view text, Fault* fault = nullptr);

// A one-group file: all its lines joined make one group text.
ParseResult parseOneGroup(std::string_view content);
// An all-groups file: exactly 40 lines, group g on lines 2g - 1 and 2g.
ParseResult parseAllGroups(std::string_view content);

// Header fields of a valid group text.
Header headerOf(std::string_view groupText);
// True when the stored checksum is the XOR of the address .. last data byte.
bool checksumMatches(std::string_view groupText);

// A group text for an image, as the device would send it (upper case, correct
// checksum): command 0x28 with index 0 for the current group, 0x29 with index g
// for stored group g.
std::string makeGroupText(const GroupImage& image, int address, int index, int command);

// The group text carrying `image`: the stored header and end byte kept, the
// data written in upper case and the checksum recomputed, so it stays a valid
// reply frame. An image equal to the stored one gives the text back unchanged.
// Nothing when `groupText` is not a valid group text.
std::optional<std::string> withImage(std::string_view groupText, const GroupImage& image);

// An all-groups file with group `group`'s two lines (1..20) replaced by
// `groupText`, split as written; every other byte, line ends included, stays as
// it was. Nothing when `content` does not have 40 lines, `group` is out of range
// or the text is not 1304 characters long.
std::optional<std::string> replaceGroup(std::string_view content, int group, std::string_view groupText);

// File contents with CR LF line ends. Nothing when a text is not 1304
// characters long, or when an all-groups file is not given exactly 20 texts.
std::optional<std::string> formatOneGroup(std::string_view groupText);
std::optional<std::string> formatAllGroups(std::span<const std::string> groupTexts);

// Reads a file for parsing, at most kMaxFileBytes + 1 bytes of it (so a larger
// file parses as damaged). Nothing, with `error` set, when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path, std::string* error = nullptr);

} // namespace talvex::groupfile
