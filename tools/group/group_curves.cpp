#include "group_curves.h"

#include <charconv>

namespace talvex::grouptool {

namespace {

void appendFixed(std::string& out, double value, int decimals)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    // Never "-0.000000".
    std::string_view written(text, std::size_t(end - text));
    if (written.starts_with('-') && written.find_first_not_of("-0.") == std::string_view::npos)
        written.remove_prefix(1);
    out += written;
}

void appendCurve(std::string& out, const ResponseGrid& grid, std::string_view name, const ResponseCurve& curve)
{
    for (int i = 0; i < grid.columnCount(); ++i) {
        out += name;
        out += ',';
        char column[16];
        out.append(column, std::to_chars(column, column + sizeof column, ResponseGrid::columnAt(i)).ptr);
        out += ',';
        appendFixed(out, grid.frequency(i), 4);
        out += ',';
        appendFixed(out, curve[std::size_t(i)], 6);
        out += '\n';
    }
}

} // namespace

ChannelResponses channelResponses(const ResponseGrid& grid, const groupfile::GroupImage& image, int channel)
{
    ParameterModel model;
    std::copy(image.begin(), image.end(), model.image.begin());
    ChannelResponses responses;
    responses.recomputeChannel(grid, model, channel);
    return responses;
}

std::string curvesCsv(const ResponseGrid& grid, const ChannelResponses& responses, int channel)
{
    std::string out = "curve,column,frequency_hz,level_db\n";
    ResponseCurve sum{};
    responses.sum(grid, channel, sum);
    appendCurve(out, grid, "sum", sum);
    const ChannelCurves& parts = responses.channel(channel);
    appendCurve(out, grid, "hpf", parts.highPass);
    appendCurve(out, grid, "lpf", parts.lowPass);
    for (std::size_t j = 0; j < parts.bands.size(); ++j)
        appendCurve(out, grid, "eq" + std::to_string(j + 1), parts.bands[j]);
    return out;
}

} // namespace talvex::grouptool
