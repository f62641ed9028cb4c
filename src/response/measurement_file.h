#pragma once
// Measured frequency responses exported by measurement programs, read as text.
//
// Three kinds are read, told apart by their content:
//   - REW text export: comment lines starting with '*', then "freq SPL [phase]"
//     per line, separated by blanks or tabs;
//   - FRD: "freq mag [phase]" per line, comment lines starting with '#' or '*';
//   - CSV with a header line: fields separated by ',' or ';' (whichever the header
//     uses), the frequency and level columns found by their names ("freq"/"hz",
//     "spl"/"db"/"mag"/"level"), else the first two columns.
// Numbers always use '.' as the decimal point, whatever the desktop's locale: a
// decimal comma is refused, never guessed. Blank lines are skipped everywhere.
//
// A file is refused, with the line and the reason, when it holds no numbers, a
// value is not a number, the frequencies do not rise, it has fewer than
// kMinimumPoints points, or a frequency lies outside 10 Hz .. 24 kHz.
// Errors are values; no Qt.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace talvex::measurement {

inline constexpr int kMinimumPoints = 10;
inline constexpr double kLowestHz = 10.0;
inline constexpr double kHighestHz = 24000.0;
// A measurement at 1/96 octave over 10 Hz .. 24 kHz has about 1100 points; REW's
// linear exports of long sweeps reach tens of thousands. Larger files are refused
// unread.
inline constexpr std::size_t kMaxFileBytes = std::size_t(32) << 20;
inline constexpr std::size_t kMaxPoints = 1'000'000;

enum class Format { RewText, Frd, Csv };
const char* formatName(Format format); // "REW text", "FRD", "CSV"

struct Measurement {
    Format format = Format::RewText;
    std::vector<double> frequency; // Hz, strictly rising, within 10 Hz .. 24 kHz
    std::vector<double> level;     // dB, as measured (not shifted)
};

struct Fault {
    int line = 0;       // 1-based; 0 when the fault is the file as a whole
    std::string reason; // one English sentence, line included when there is one
};

struct ReadResult {
    Measurement measurement; // valid when ok()
    Fault fault;
    bool ok() const { return fault.reason.empty(); }
};

ReadResult parseMeasurement(std::string_view content);
// Reads and parses a file; one that cannot be read, or is larger than
// kMaxFileBytes, is refused with the reason (line 0).
ReadResult readMeasurementFile(const std::filesystem::path& path);

} // namespace talvex::measurement
