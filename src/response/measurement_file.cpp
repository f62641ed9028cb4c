#include "response/measurement_file.h"

#include "model/group_file.h"
#include "model/number_text.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>

namespace talvex::measurement {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A number as measurement programs write it: optional sign, digits with '.',
// optional exponent. "inf", "nan", hexadecimal and a decimal comma are not numbers.
std::optional<double> number(std::string_view text)
{
    text = trimmed(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    if (text.empty() || text.starts_with('+'))
        return std::nullopt;
    const char first = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(first >= '0' && first <= '9') && first != '.')
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// "12,5": digits on both sides of a comma, the way a comma locale writes a number.
bool looksLikeDecimalComma(std::string_view text)
{
    text = trimmed(text);
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 >= text.size())
        return false;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(text[comma - 1]) && digit(text[comma + 1]) && text.find(',', comma + 1) == std::string_view::npos;
}

std::vector<std::string_view> splitFields(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    if (separator == ' ') {
        std::size_t at = 0;
        while (at < line.size()) {
            while (at < line.size() && isBlank(line[at]))
                ++at;
            const std::size_t start = at;
            while (at < line.size() && !isBlank(line[at]))
                ++at;
            if (at > start)
                fields.push_back(line.substr(start, at - start));
        }
        return fields;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t next = line.find(separator, start);
        fields.push_back(trimmed(line.substr(start, next == std::string_view::npos ? next : next - start)));
        if (next == std::string_view::npos)
            return fields;
        start = next + 1;
    }
}

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string lineText(int line) { return "Line " + integerText(line) + ": "; }

Fault faultAt(int line, const std::string& reason) { return {line, lineText(line) + reason}; }

struct Columns {
    std::size_t frequency = 0;
    std::size_t level = 1;
};

// The frequency and level columns a CSV header names; the first two when it names neither.
Columns columnsOf(const std::vector<std::string_view>& header)
{
    std::optional<std::size_t> frequency, level;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string name = lower(header[i]);
        if (!frequency && (name.find("freq") != std::string::npos || name.find("hz") != std::string::npos))
            frequency = i;
        else if (!level && (name.find("spl") != std::string::npos || name.find("db") != std::string::npos ||
                            name.find("mag") != std::string::npos || name.find("level") != std::string::npos))
            level = i;
    }
    Columns columns;
    columns.frequency = frequency.value_or(0);
    columns.level = level.value_or(columns.frequency == 0 ? 1 : 0);
    return columns;
}

} // namespace

const char* formatName(Format format)
{
    switch (format) {
    case Format::RewText: return "REW text";
    case Format::Frd: return "FRD";
    case Format::Csv: return "CSV";
    }
    return "";
}

ReadResult parseMeasurement(std::string_view content)
{
    ReadResult result;
    if (content.size() > kMaxFileBytes) {
        result.fault = {0, "The file is too large for a measurement."};
        return result;
    }
    const std::vector<std::string_view> lines = groupfile::splitLines(content);
    Measurement& m = result.measurement;

    bool sawStar = false, sawHash = false;
    char separator = 0;      // ' ' blank-separated, ',' or ';' after a CSV header
    Columns columns;
    std::size_t headerFields = 0;
    int headerLine = 0;
    int lastLine = 0;

    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int lineNumber = int(n) + 1;
        const std::string_view line = trimmed(lines[n]);
        if (line.empty())
            continue;
        if (line.front() == '*' || line.front() == '#') {
            (line.front() == '*' ? sawStar : sawHash) = true;
            continue;
        }
        if (separator == 0) {
            // The first line that is neither blank nor a comment: numbers start a
            // blank-separated file, text is a CSV header.
            const std::vector<std::string_view> blankFields = splitFields(line, ' ');
            if (number(blankFields.front())) {
                separator = ' ';
            } else {
                separator = line.find(';') != std::string_view::npos ? ';' : ',';
                const std::vector<std::string_view> header = splitFields(line, separator);
                if (header.size() < 2 && separator == ',' && blankFields.size() >= 2) {
                    // A REW export sometimes names its columns on a line without '*'.
                    separator = ' ';
                    headerLine = lineNumber;
                    continue;
                }
                if (header.size() < 2) {
                    // Built by appending: GCC 12 takes "literal" + std::string&& here for an overlapping copy.
                    std::string text = "\"";
                    text += line.substr(0, 40);
                    text += "\" is not a number and not a header of a comma or semicolon separated file.";
                    result.fault = faultAt(lineNumber, text);
                    return result;
                }
                columns = columnsOf(header);
                headerFields = header.size();
                headerLine = lineNumber;
                continue;
            }
        }

        const std::vector<std::string_view> fields = splitFields(line, separator);
        // With ',' between fields, a field too many is how a decimal comma shows.
        if (separator == ',' && fields.size() > headerFields) {
            result.fault = faultAt(lineNumber, "it has more fields than the header on line " + integerText(headerLine) +
                                                   "; a decimal comma? Numbers must use '.' as the decimal point.");
            return result;
        }
        const std::size_t needed = std::max(columns.frequency, columns.level) + 1;
        if (fields.size() < needed) {
            result.fault = faultAt(lineNumber, "a frequency and a level are needed, found " +
                                                   integerText(static_cast<long long>(fields.size())) + " value(s).");
            return result;
        }
        double values[2] = {};
        const std::size_t wanted[2] = {columns.frequency, columns.level};
        for (int k = 0; k < 2; ++k) {
            const std::string_view field = fields[wanted[k]];
            const std::optional<double> value = number(field);
            if (!value) {
                const std::string shown(field.substr(0, 40));
                result.fault = faultAt(lineNumber, looksLikeDecimalComma(field)
                                                       ? "\"" + shown + "\" has a decimal comma; numbers must use '.' "
                                                                        "as the decimal point."
                                                       : "\"" + shown + "\" is not a number.");
                return result;
            }
            values[k] = *value;
        }
        const double hz = values[0];
        if (hz < kLowestHz || hz > kHighestHz) {
            result.fault = faultAt(lineNumber, "the frequency " + generalNumberText(hz) +
                                                   " Hz lies outside 10 Hz to 24 kHz.");
            return result;
        }
        if (!m.frequency.empty() && hz <= m.frequency.back()) {
            result.fault = faultAt(lineNumber, "the frequency " + generalNumberText(hz) +
                                                   " Hz does not rise above " + generalNumberText(m.frequency.back()) +
                                                   " Hz on line " + integerText(lastLine) + ".");
            return result;
        }
        if (m.frequency.size() >= kMaxPoints) {
            result.fault = faultAt(lineNumber, "more than " + integerText(static_cast<long long>(kMaxPoints)) + " points.");
            return result;
        }
        m.frequency.push_back(hz);
        m.level.push_back(values[1]);
        lastLine = lineNumber;
    }

    if (m.frequency.empty()) {
        result.fault = {0, "The file holds no numbers: no line with a frequency and a level."};
        return result;
    }
    if (int(m.frequency.size()) < kMinimumPoints) {
        result.fault = {0, "The file holds only " + integerText(static_cast<long long>(m.frequency.size())) +
                               " points; at least 10 are needed."};
        return result;
    }
    m.format = separator != ' ' ? Format::Csv : (sawHash && !sawStar) ? Format::Frd : Format::RewText;
    return result;
}

ReadResult readMeasurementFile(const std::filesystem::path& path)
{
    ReadResult result;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        result.fault = {0, "The file cannot be read: it is a folder."};
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.fault = {0, std::string("The file cannot be read: ") + std::strerror(errno) + "."};
        return result;
    }
    std::string content(kMaxFileBytes + 1, '\0');
    in.read(content.data(), std::streamsize(content.size()));
    if (in.bad()) {
        result.fault = {0, "The file cannot be read: read error."};
        return result;
    }
    content.resize(std::size_t(in.gcount()));
    return parseMeasurement(content);
}

} // namespace talvex::measurement
