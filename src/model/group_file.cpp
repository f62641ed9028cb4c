#include "model/group_file.h"

#include "model/number_text.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace talvex::groupfile {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int pairValue(std::string_view text, std::size_t at)
{
    const int high = hexDigit(text[at]);
    const int low = hexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Messages read the same on every desktop.
std::string number(std::size_t value) { return integerText(static_cast<long long>(value)); }

// A character as the reason shows it: itself when printable, otherwise its code.
std::string shown(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x21 && code <= 0x7E && c != '"')
        return std::string("'") + c + "'";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("byte 0x") + kDigits[code >> 4] + kDigits[code & 0x0F];
}

Fault wholeFile(std::string reason)
{
    Fault fault;
    fault.reason = std::move(reason);
    return fault;
}

ParseResult damaged(Fault fault)
{
    ParseResult result;
    result.status = Status::Damaged;
    result.fault = std::move(fault);
    return result;
}

std::optional<ParseResult> tooLarge(std::string_view content)
{
    if (content.size() <= kMaxFileBytes)
        return std::nullopt;
    return damaged(wholeFile("the file is larger than " + number(kMaxFileBytes) +
                             " bytes; a group file is far smaller"));
}

// Where character `at` of a group joined from `lines` sits in the file.
void locate(std::span<const std::string_view> lines, int firstLine, std::size_t at, Fault& fault)
{
    fault.line = firstLine;
    for (std::string_view line : lines) {
        if (at < line.size())
            break;
        at -= line.size();
        ++fault.line;
    }
    fault.column = int(at) + 1;
}

// Checks the group joined from `lines` (file lines from `firstLine` on) and
// fills in where the fault lies.
std::optional<Group> parseJoined(std::span<const std::string_view> lines, int firstLine, int group,
                                 std::string_view what, Fault& fault)
{
    std::string text;
    for (std::string_view line : lines)
        text += line;
    auto parsed = parseGroupText(text, &fault);
    if (parsed)
        return parsed;
    fault.group = group;
    if (fault.pair == 0) {
        fault.reason = std::string(what) + " holds " + number(text.size()) + " characters, " +
                       number(kGroupTextLength) + " expected";
        return std::nullopt;
    }
    const std::size_t at = 2 * std::size_t(fault.pair - 1);
    const bool firstBad = hexDigit(text[at]) < 0;
    locate(lines, firstLine, firstBad ? at : at + 1, fault);
    fault.reason = std::string(what) + ": character pair " + number(std::size_t(fault.pair)) + " (" +
                   shown(text[at]) + ", " + shown(text[at + 1]) + ") is not a hexadecimal number; " +
                   shown(text[firstBad ? at : at + 1]) + " is at line " + number(std::size_t(fault.line)) +
                   ", character " + number(std::size_t(fault.column));
    return std::nullopt;
}

void appendLine(std::string& out, std::string_view line)
{
    out += line;
    out += "\r\n";
}

} // namespace

std::vector<std::string_view> splitLines(std::string_view content)
{
    if (content.starts_with("\xEF\xBB\xBF"))
        content.remove_prefix(3);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t at = 0;
    while (at < content.size()) {
        const char c = content[at];
        if (c != '\r' && c != '\n') {
            ++at;
            continue;
        }
        lines.push_back(content.substr(start, at - start));
        at += (c == '\r' && at + 1 < content.size() && content[at + 1] == '\n') ? 2 : 1;
        start = at;
    }
    if (start < content.size())
        lines.push_back(content.substr(start));
    return lines;
}

std::optional<Group> parseGroupText(std::string_view text, Fault* fault)
{
    Fault local;
    Fault& out = fault ? *fault : local;
    out = Fault{};
    if (text.size() != kGroupTextLength) {
        out.reason = "the group text holds " + number(text.size()) + " characters, " +
                     number(kGroupTextLength) + " expected";
        return std::nullopt;
    }
    Group group;
    for (std::size_t pair = 0; pair < kPairCount; ++pair) {
        const int value = pairValue(text, 2 * pair);
        if (value < 0) {
            out.pair = int(pair) + 1;
            out.reason = "character pair " + number(pair + 1) + " is not a hexadecimal number";
            return std::nullopt;
        }
        if (2 * pair >= kDataStart && 2 * pair < kDataStart + 2 * kGroupBytes)
            group.image[(2 * pair - kDataStart) / 2] = std::uint8_t(value);
    }
    group.text.assign(text);
    return group;
}

ParseResult parseOneGroup(std::string_view content)
{
    if (auto refused = tooLarge(content))
        return *refused;
    const auto lines = splitLines(content);
    std::size_t total = 0;
    for (std::string_view line : lines)
        total += line.size();
    if (total == 0)
        return {};
    Fault fault;
    auto group = parseJoined(lines, 1, 1, "the group text", fault);
    if (!group)
        return damaged(std::move(fault));
    ParseResult result;
    result.status = Status::Ok;
    result.groups.push_back(std::move(*group));
    return result;
}

ParseResult parseAllGroups(std::string_view content)
{
    if (auto refused = tooLarge(content))
        return *refused;
    const auto lines = splitLines(content);
    if (lines.empty())
        return {};
    if (lines.size() != std::size_t(kAllGroupsLines))
        return damaged(wholeFile("the file has " + number(lines.size()) + " lines, " +
                                 number(std::size_t(kAllGroupsLines)) + " expected (two for each of " +
                                 number(std::size_t(kStoredGroups)) + " groups)"));
    ParseResult result;
    result.groups.reserve(kStoredGroups);
    for (int g = 1; g <= kStoredGroups; ++g) {
        const int first = 2 * g - 1;
        const std::string what = "group " + number(std::size_t(g)) + " (lines " + number(std::size_t(first)) +
                                 " and " + number(std::size_t(first + 1)) + ")";
        Fault fault;
        auto group = parseJoined(std::span(lines).subspan(std::size_t(first - 1), 2), first, g, what, fault);
        if (!group)
            return damaged(std::move(fault));
        result.groups.push_back(std::move(*group));
    }
    result.status = Status::Ok;
    return result;
}

Header headerOf(std::string_view groupText)
{
    Header header;
    if (groupText.size() != kGroupTextLength)
        return header;
    header.address = pairValue(groupText, 6);
    header.marker = pairValue(groupText, 8);
    header.index = pairValue(groupText, 10);
    header.command = pairValue(groupText, 12);
    header.subIndex = pairValue(groupText, 14);
    const int high = pairValue(groupText, 16);
    const int low = pairValue(groupText, 18);
    header.length = high < 0 || low < 0 ? -1 : high * 256 + low;
    header.checksum = pairValue(groupText, kGroupTextLength - 4);
    header.end = pairValue(groupText, kGroupTextLength - 2);
    return header;
}

bool checksumMatches(std::string_view groupText)
{
    if (groupText.size() != kGroupTextLength)
        return false;
    int sum = 0;
    for (std::size_t at = 6; at < kGroupTextLength - 4; at += 2) {
        const int value = pairValue(groupText, at);
        if (value < 0)
            return false;
        sum ^= value;
    }
    return sum == pairValue(groupText, kGroupTextLength - 4);
}

std::string makeGroupText(const GroupImage& image, int address, int index, int command)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(kGroupTextLength);
    int sum = 0;
    auto put = [&](int value, bool summed) {
        value &= 0xFF;
        text.push_back(kDigits[value >> 4]);
        text.push_back(kDigits[value & 0x0F]);
        if (summed)
            sum ^= value;
    };
    for (int i = 0; i < 3; ++i)
        put(0xA5, false);
    for (int field : {address, 0x52, index, command, 0, int(kGroupBytes >> 8), int(kGroupBytes & 0xFF)})
        put(field, true);
    for (std::uint8_t b : image)
        put(b, true);
    put(sum, false);
    put(0xAA, false);
    return text;
}

std::optional<std::string> withImage(std::string_view groupText, const GroupImage& image)
{
    const auto stored = parseGroupText(groupText);
    if (!stored)
        return std::nullopt;
    if (stored->image == image)
        return stored->text;
    // Header and end byte as stored; the checksum covers the stored header
    // fields from the address on and the new data.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(groupText.substr(0, kDataStart));
    text.reserve(kGroupTextLength);
    int sum = 0;
    for (std::size_t at = 6; at < kDataStart; at += 2)
        sum ^= pairValue(groupText, at);
    for (std::uint8_t b : image) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
        sum ^= b;
    }
    text.push_back(kDigits[sum >> 4]);
    text.push_back(kDigits[sum & 0x0F]);
    text.append(groupText.substr(kGroupTextLength - 2));
    return text;
}

std::optional<std::string> replaceGroup(std::string_view content, int group, std::string_view groupText)
{
    const auto lines = splitLines(content);
    if (lines.size() != std::size_t(kAllGroupsLines) || group < 1 || group > kStoredGroups ||
        groupText.size() != kGroupTextLength)
        return std::nullopt;
    // The lines are views into `content`: their offsets locate the bytes to replace.
    const std::string_view first = lines[std::size_t(2 * group - 2)];
    const std::string_view second = lines[std::size_t(2 * group - 1)];
    const auto offset = [&](const char* at) { return std::size_t(at - content.data()); };
    const std::size_t begin = offset(first.data());
    const std::size_t firstEnd = offset(first.data() + first.size());
    const std::size_t secondBegin = offset(second.data());
    const std::size_t end = offset(second.data() + second.size());
    std::string out(content.substr(0, begin));
    out += groupText.substr(0, kFirstLineLength);
    out += content.substr(firstEnd, secondBegin - firstEnd); // the file's own line end
    out += groupText.substr(kFirstLineLength);
    out += content.substr(end);
    return out;
}

std::optional<std::string> formatOneGroup(std::string_view groupText)
{
    if (groupText.size() != kGroupTextLength)
        return std::nullopt;
    std::string out;
    out.reserve(kGroupTextLength + 4);
    appendLine(out, groupText.substr(0, kFirstLineLength));
    appendLine(out, groupText.substr(kFirstLineLength));
    return out;
}

std::optional<std::string> formatAllGroups(std::span<const std::string> groupTexts)
{
    if (groupTexts.size() != std::size_t(kStoredGroups))
        return std::nullopt;
    std::string out;
    out.reserve(std::size_t(kStoredGroups) * (kGroupTextLength + 4));
    for (const std::string& text : groupTexts) {
        auto lines = formatOneGroup(text);
        if (!lines)
            return std::nullopt;
        out += *lines;
    }
    return out;
}

std::optional<std::string> readFile(const std::filesystem::path& path, std::string* error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        if (error)
            *error = std::strerror(EISDIR);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = std::strerror(errno);
        return std::nullopt;
    }
    std::string content(kMaxFileBytes + 1, '\0');
    in.read(content.data(), std::streamsize(content.size()));
    if (in.bad()) {
        if (error)
            *error = "read error";
        return std::nullopt;
    }
    content.resize(std::size_t(in.gcount()));
    return content;
}

} // namespace talvex::groupfile
