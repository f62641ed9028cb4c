#include "group_match.h"

#include "model/parameter_model.h"

#include <charconv>
#include <cmath>

namespace talvex::grouptool {

match::ChannelRecords channelRecords(const groupfile::GroupImage& image, int channel)
{
    match::ChannelRecords records;
    const int xover = crossoverRecord(channel);
    for (int k = 0; k < 8; ++k)
        records.crossover[std::size_t(k)] = image[std::size_t(xover + k)];
    for (int j = 0; j < 10; ++j)
        for (int k = 0; k < 8; ++k)
            records.bands[std::size_t(j)][std::size_t(k)] = image[std::size_t(bandRecord(channel, j) + k)];
    return records;
}

MatchOutcome matchChannel(const groupfile::GroupImage& image, int channel, const measurement::Measurement& m,
                          const match::Settings& settings)
{
    MatchOutcome out;
    out.image = image;
    const ResponseGrid grid;
    std::vector<double> measured = match::onGrid(grid, m);
    if (!match::shiftToZeroMean(grid, measured, settings.lowHz, settings.highHz)) {
        out.error = "the measurement has no point within the range";
        return out;
    }
    const match::ChannelRecords records = channelRecords(image, channel);
    const match::Problem problem(grid, measured, records, settings);
    const match::Fit fit = match::fit(problem);
    const auto bands = match::fittedRecords(records, problem, fit);
    for (int j = 0; j < 10; ++j)
        for (int k = 0; k < 8; ++k)
            out.image[std::size_t(bandRecord(channel, j) + k)] = std::uint8_t(bands[std::size_t(j)][std::size_t(k)]);
    out.rmsBefore = fit.rmsBefore;
    out.rmsAfter = fit.rmsAfter;
    return out;
}

std::string overlayCsv(const ResponseGrid& grid, const CurveOverlay& overlay, const ResponseCurve& channelCurve)
{
    std::string out;
    auto row = [&](const char* name, int i, double level) {
        char text[64];
        out += name;
        out += ',';
        out.append(text, std::to_chars(text, text + sizeof text, ResponseGrid::columnAt(i)).ptr);
        out += ',';
        out.append(text, std::to_chars(text, text + sizeof text, grid.frequency(i), std::chars_format::fixed, 4).ptr);
        out += ',';
        out.append(text, std::to_chars(text, text + sizeof text, level + 0.0, std::chars_format::fixed, 6).ptr);
        out += '\n';
    };
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < grid.columnCount() && i < int(overlay.measured.size()); ++i) {
            const double m = overlay.measured[std::size_t(i)];
            if (!std::isnan(m))
                row(pass == 0 ? "measured" : "predicted", i, pass == 0 ? m : m + channelCurve[std::size_t(i)]);
        }
    return out;
}

} // namespace talvex::grouptool
