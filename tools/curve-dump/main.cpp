// curve-dump: prints one crossover or equaliser band response curve of the
// standard 720 x 250 graph as CSV, or a band's marker position.
//
//   curve-dump --hpf FREQ_CODE TYPE_CODE
//   curve-dump --lpf FREQ_CODE TYPE_CODE
//   curve-dump --band FREQ_CODE BAND_TYPE GAIN_CODE Q_CODE [--marker]

#include "response/band_response.h"
#include "response/crossover_response.h"
#include "model/number_text.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace talvex;

constexpr int kUsageError = 2;

int usage()
{
    std::fputs("usage: curve-dump --hpf FREQ_CODE TYPE_CODE\n"
               "       curve-dump --lpf FREQ_CODE TYPE_CODE\n"
               "       curve-dump --band FREQ_CODE BAND_TYPE GAIN_CODE Q_CODE [--marker]\n"
               "codes as stored in the parameter image: FREQ_CODE, TYPE_CODE and BAND_TYPE 0..255,\n"
               "GAIN_CODE and Q_CODE 0..65535\n",
               stderr);
    return kUsageError;
}

// A whole decimal number in 0..max, nothing else.
std::optional<int> parseCode(std::string_view text, int max)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

void printCurve(const ResponseGrid& grid, const ResponseCurve& curve)
{
    std::puts("column,frequency_hz,level");
    for (int i = 0; i < grid.columnCount(); ++i)
        std::printf("%s,%s,%s\n", std::to_string(ResponseGrid::columnAt(i)).c_str(),
                    fixedText(grid.frequency(i), 4).c_str(), fixedText(curve[i], 6).c_str());
}

// A curve that could not be written in full (closed pipe, full disk) is a failure.
int finish()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("curve-dump: could not write the output\n", stderr);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    bool marker = false;
    if (!args.empty() && args.back() == "--marker") {
        marker = true;
        args.pop_back();
    }
    if (args.empty())
        return usage();

    std::vector<int> codes;
    const std::string_view mode = args[0];
    const bool crossover = mode == "--hpf" || mode == "--lpf";
    if (!crossover && mode != "--band")
        return usage();
    const std::vector<int> limits = crossover ? std::vector<int>{255, 255} : std::vector<int>{255, 255, 65535, 65535};
    if (args.size() != limits.size() + 1 || (marker && crossover))
        return usage();
    for (std::size_t i = 0; i < limits.size(); ++i) {
        const std::optional<int> code = parseCode(args[i + 1], limits[i]);
        if (!code)
            return usage();
        codes.push_back(*code);
    }

    const ResponseGrid grid; // the standard 720 x 250 graph
    ResponseCurve curve{};
    if (mode == "--hpf") {
        highPassResponse(grid, codes[0], codes[1], curve);
    } else if (mode == "--lpf") {
        lowPassResponse(grid, codes[0], codes[1], curve);
    } else {
        const BandSettings band = bandFromRecord(std::array<int, 8>{
            codes[0], codes[1], codes[2] % 256, codes[2] / 256, 0, 0, codes[3] % 256, codes[3] / 256});
        MarkerPosition position;
        bandResponse(grid, band, position, curve);
        if (marker) {
            std::printf("%s %s\n", std::to_string(position.x).c_str(), std::to_string(position.y).c_str());
            return finish();
        }
    }
    printCurve(grid, curve);
    return finish();
}
