// talvex-group: inspect, compare and plot group files (.datdsp, .datgrp)
// without an amplifier.
//
//   talvex-group show FILE [--group N] [--channel Main|High|Mid|Low]
//   talvex-group diff A B [--group N]
//   talvex-group plot FILE [--group N] --channel C [--png OUT.png] [--csv OUT.csv] [--measurement M]
//   talvex-group match BASE.datdsp --channel C --measurement M [--range LO:HI] [--tilt DB]
//                      [--max-boost DB] [--bands all|flat] --out OUT.datdsp
//
// Exit status: 0 done (diff: the groups are equal), 1 diff found differences,
// 2 bad arguments, a damaged file or a file that could not be read or written.

#include "editing/response_graph.h"
#include "group_curves.h"
#include "group_files.h"
#include "group_match.h"
#include "group_report.h"

#include "model/file_path.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <memory>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace talvex;
using namespace talvex::grouptool;

constexpr int kTrouble = 2;

constexpr char kUsage[] =
    "usage: talvex-group show FILE [--group N] [--channel Main|High|Mid|Low]\n"
    "       talvex-group diff A B [--group N]\n"
    "       talvex-group plot FILE [--group N] --channel Main|High|Mid|Low [--png OUT.png] [--csv OUT.csv]\n"
    "                         [--measurement MEASURED]\n"
    "       talvex-group match BASE.datdsp --channel Main|High|Mid|Low --measurement MEASURED\n"
    "                         [--range LO:HI] [--tilt DB_PER_OCT] [--max-boost DB] [--bands all|flat] --out OUT.datdsp\n"
    "       talvex-group --help | --version\n";

constexpr char kHelp[] =
    "Inspect, compare and plot the editor's group files without an amplifier.\n"
    "\n"
    "  show  prints every parameter of a group, one channel a block, in the editor's\n"
    "        texts and units; an all-groups file (.datgrp) shows all twenty groups\n"
    "        unless --group N (1..20) picks one, --channel picks one channel.\n"
    "  diff  prints the parameters in which A and B differ, one line each:\n"
    "        \"group / channel / parameter: a → b\". Two all-groups files are compared\n"
    "        group for group; with --group N only group N, which also compares an\n"
    "        all-groups file's group N with a one-group file.\n"
    "  plot  draws the channel's response graph as the editor does (--png) and\n"
    "        writes its summed curve and twelve parts as CSV (--csv):\n"
    "        curve,column,frequency_hz,level_db with curve = sum, hpf, lpf, eq1..eq10.\n"
    "        With --measurement (REW text, FRD or CSV) the graph and the CSV also show\n"
    "        the measured response, shifted to 0 dB over 60 Hz..12 kHz (\"measured\"), and\n"
    "        the measurement plus the channel's curve (\"predicted\").\n"
    "  match fits the channel's ten equaliser bands so that the measurement plus the\n"
    "        channel's curve follows the target (flat, or --tilt dB per octave) over\n"
    "        --range (default 60:12000 Hz), boosting no more than --max-boost (default\n"
    "        6 dB; 0 cuts only), with all ten bands or only those at 0 dB (--bands flat).\n"
    "        Writes a copy of BASE with only that channel's band records changed and\n"
    "        prints the changes and the RMS deviation before and after.\n"
    "\n"
    "Exit status: 0 done or equal, 1 the files differ (diff), 2 bad arguments or a\n"
    "file that is damaged or cannot be read or written (nothing is written then).\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return kTrouble;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    return kTrouble;
}

struct Arguments {
    std::string command;
    std::vector<std::string> files;
    std::optional<int> group;
    std::optional<int> channel;
    std::string png;
    std::string csv;
    std::string measurement;
    std::string out;
    match::Settings settings;
};

std::optional<double> decimal(std::string_view text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> groupNumber(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > groupfile::kStoredGroups)
        return std::nullopt;
    return value;
}

// Nothing when the arguments make no sense.
std::optional<Arguments> parse(const std::vector<std::string_view>& args)
{
    if (args.empty())
        return std::nullopt;
    Arguments out;
    out.command = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--group" && hasValue && !out.group) {
            out.group = groupNumber(args[++i]);
            if (!out.group)
                return std::nullopt;
        } else if (arg == "--channel" && hasValue && !out.channel) {
            out.channel = channelFromName(args[++i]);
            if (!out.channel)
                return std::nullopt;
        } else if (arg == "--png" && hasValue && out.png.empty()) {
            out.png = args[++i];
        } else if (arg == "--csv" && hasValue && out.csv.empty()) {
            out.csv = args[++i];
        } else if (arg == "--measurement" && hasValue && out.measurement.empty()) {
            out.measurement = args[++i];
        } else if (arg == "--out" && hasValue && out.out.empty()) {
            out.out = args[++i];
        } else if (arg == "--range" && hasValue) {
            const std::string_view range = args[++i];
            const auto colon = range.find(':');
            const auto low = decimal(range.substr(0, colon));
            const auto high = colon == std::string_view::npos ? std::nullopt : decimal(range.substr(colon + 1));
            if (!low || !high)
                return std::nullopt;
            out.settings.lowHz = *low;
            out.settings.highHz = *high;
        } else if ((arg == "--tilt" || arg == "--max-boost") && hasValue) {
            const auto value = decimal(args[++i]);
            if (!value)
                return std::nullopt;
            (arg == "--tilt" ? out.settings.tiltDbPerOctave : out.settings.maxBoostDb) = *value;
        } else if (arg == "--bands" && hasValue && (args[i + 1] == "all" || args[i + 1] == "flat")) {
            out.settings.onlyFlatBands = args[++i] == "flat";
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return std::nullopt;
        } else {
            out.files.emplace_back(arg);
        }
    }
    const bool drawing = !out.png.empty() || !out.csv.empty();
    const bool matching = !out.measurement.empty() || !out.out.empty();
    if (out.command == "show")
        return out.files.size() == 1 && !drawing && !matching ? std::optional(out) : std::nullopt;
    if (out.command == "diff")
        return out.files.size() == 2 && !drawing && !out.channel && !matching ? std::optional(out) : std::nullopt;
    if (out.command == "plot")
        return out.files.size() == 1 && drawing && out.channel && out.out.empty() ? std::optional(out) : std::nullopt;
    if (out.command == "match")
        return out.files.size() == 1 && !drawing && out.channel && !out.measurement.empty() && !out.out.empty()
                   ? std::optional(out)
                   : std::nullopt;
    return std::nullopt;
}

// The groups a command works on: (number, group), number 0 for a one-group file.
std::optional<std::vector<std::pair<int, const groupfile::Group*>>> pick(const LoadedFile& file,
                                                                           std::optional<int> group,
                                                                           const std::string& path)
{
    std::vector<std::pair<int, const groupfile::Group*>> picked;
    if (!file.allGroups) {
        if (group) {
            fail("talvex-group: " + path + " is a one-group file; --group picks a group of an all-groups file");
            return std::nullopt;
        }
        picked.emplace_back(0, &file.groups.front());
        return picked;
    }
    for (int g = 1; g <= int(file.groups.size()); ++g)
        if (!group || *group == g)
            picked.emplace_back(g, &file.groups[std::size_t(g - 1)]);
    return picked;
}

bool writeOut(std::string_view stream)
{
    std::fwrite(stream.data(), 1, stream.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int show(const Arguments& a)
{
    const LoadedFile file = loadGroupFile(a.files[0]);
    if (!file.ok())
        return fail(file.error);
    const auto groups = pick(file, a.group, a.files[0]);
    if (!groups)
        return kTrouble;
    std::string out;
    for (const auto& [number, group] : *groups) {
        if (!out.empty())
            out += '\n';
        out += groupHeading(*group, number) + "\n\n";
        for (int c = 0; c < kChannels; ++c)
            if (!a.channel || *a.channel == c) {
                if (!out.ends_with("\n\n"))
                    out += '\n';
                out += showChannel(viewChannel(group->image, c));
            }
    }
    return writeOut(out) ? 0 : fail("talvex-group: could not write the output");
}

int diff(const Arguments& a)
{
    const LoadedFile left = loadGroupFile(a.files[0]);
    if (!left.ok())
        return fail(left.error);
    const LoadedFile right = loadGroupFile(a.files[1]);
    if (!right.ok())
        return fail(right.error);

    // A one-group file stands for whichever group it is compared with.
    auto side = [&](const LoadedFile& file, const std::string& path) {
        return pick(file, file.allGroups ? a.group : std::nullopt, path);
    };
    const auto l = side(left, a.files[0]);
    const auto r = side(right, a.files[1]);
    if (!l || !r)
        return kTrouble;
    if (l->size() != r->size())
        return fail("talvex-group: " + a.files[0] + " and " + a.files[1] +
                    " hold different numbers of groups; pick one group of the all-groups file with --group N");
    std::string out;
    for (std::size_t i = 0; i < l->size(); ++i) {
        const int number = std::max((*l)[i].first, (*r)[i].first);
        const std::string label = number == 0 ? "current" : std::to_string(number);
        for (const std::string& line : diffGroups(label, (*l)[i].second->image, (*r)[i].second->image))
            out += line + '\n';
    }
    if (!writeOut(out))
        return fail("talvex-group: could not write the output");
    return out.empty() ? 0 : 1;
}

// Writes every output or, when one of them cannot be written, none: each goes
// to a temporary file first that replaces the target only when all are written.
bool saveAll(const std::vector<std::pair<std::string, QByteArray>>& outputs, std::string& error)
{
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (const auto& [path, bytes] : outputs) {
        if (path.empty())
            continue;
        auto file = std::make_unique<QSaveFile>(QString::fromStdString(path)); // UTF-8, as every path here
        if (!file->open(QIODevice::WriteOnly) || file->write(bytes) != bytes.size()) {
            error = "talvex-group: cannot write " + path + ": " + file->errorString().toStdString();
            return false; // the temporary files are removed with their QSaveFile
        }
        files.push_back(std::move(file));
    }
    for (const auto& file : files)
        if (!file->commit()) {
            error = "talvex-group: cannot write " + file->fileName().toStdString() + ": " +
                    file->errorString().toStdString();
            return false;
        }
    return true;
}

int plot(const Arguments& a, int argc, char** argv)
{
    const LoadedFile file = loadGroupFile(a.files[0]);
    if (!file.ok())
        return fail(file.error);
    if (file.allGroups && !a.group)
        return fail("talvex-group: " + a.files[0] + " holds twenty groups; pick one with --group N");
    const auto groups = pick(file, a.group, a.files[0]);
    if (!groups)
        return kTrouble;
    const groupfile::GroupImage& image = groups->front().second->image;
    const int channel = *a.channel;

    // Everything is made in memory first, so a failure writes nothing.
    const ResponseGrid grid;
    const ChannelResponses responses = channelResponses(grid, image, channel);
    ChannelOverlays overlays;
    if (!a.measurement.empty()) {
        const measurement::ReadResult measured = measurement::readMeasurementFile(pathFromUtf8(a.measurement));
        if (!measured.ok())
            return fail("talvex-group: " + a.measurement + ": " + measured.fault.reason);
        overlays[std::size_t(channel)] = match::measuredOverlay(grid, measured.measurement, {});
    }
    QByteArray csv;
    if (!a.csv.empty()) {
        std::string text = curvesCsv(grid, responses, channel);
        ResponseCurve sum{};
        responses.sum(grid, channel, sum);
        text += overlayCsv(grid, overlays[std::size_t(channel)], sum);
        csv = QByteArray::fromStdString(text);
    }
    QByteArray png;
    if (!a.png.empty()) {
        // Drawn off screen, whatever the desktop: the tool never shows a window.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        ResponseGraphRenderer renderer(GraphGeometry{});
        renderer.setOverlays(&overlays);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!renderer.render(responses, channel).save(&buffer, "PNG"))
            return fail("talvex-group: the graph could not be encoded as PNG");
    }
    std::string error;
    return saveAll({{a.csv, csv}, {a.png, png}}, error) ? 0 : fail(error);
}

int matchCommand(const Arguments& a)
{
    const std::string settingsFault = match::checkSettings(a.settings);
    if (!settingsFault.empty())
        return fail("talvex-group: " + settingsFault);
    const LoadedFile file = loadGroupFile(a.files[0]);
    if (!file.ok())
        return fail(file.error);
    if (file.allGroups)
        return fail("talvex-group: " + a.files[0] + " is an all-groups file; match works on a one-group file (.datdsp)");
    const measurement::ReadResult measured = measurement::readMeasurementFile(pathFromUtf8(a.measurement));
    if (!measured.ok())
        return fail("talvex-group: " + a.measurement + ": " + measured.fault.reason);

    const groupfile::Group& base = file.groups.front();
    const MatchOutcome outcome = matchChannel(base.image, *a.channel, measured.measurement, a.settings);
    if (!outcome.error.empty())
        return fail("talvex-group: " + a.measurement + ": " + outcome.error);
    const auto text = groupfile::withImage(base.text, outcome.image);
    const auto content = text ? groupfile::formatOneGroup(*text) : std::nullopt;
    if (!content)
        return fail("talvex-group: the matched group could not be made");

    std::string report;
    for (const std::string& line : diffGroups("current", base.image, outcome.image))
        report += line + '\n';
    char numbers[64];
    auto db = [&](double v) {
        return std::string(numbers, std::to_chars(numbers, numbers + sizeof numbers, v, std::chars_format::fixed, 2).ptr);
    };
    report += "RMS deviation before: " + db(outcome.rmsBefore) + " dB, after: " + db(outcome.rmsAfter) + " dB\n";
    std::string error;
    if (!saveAll({{a.out, QByteArray::fromStdString(*content)}}, error))
        return fail(error);
    return writeOut(report) ? 0 : fail("talvex-group: could not write the output");
}

} // namespace

int main(int argc, char** argv)
{
    // File names stay UTF-8 text from the command line to the file system.
    const std::vector<std::string> arguments = utf8Arguments(argc, argv);
    const std::vector<std::string_view> args(arguments.begin() + 1, arguments.end());
    for (std::string_view arg : args)
        if (arg == "--version") {
            std::fputs("talvex-group " TALVEX_VERSION_TEXT "\n", stdout);
            return 0;
        }
    for (std::string_view arg : args)
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp, stdout);
            return 0;
        }
    const std::optional<Arguments> parsed = parse(args);
    if (!parsed)
        return usage();
    if (parsed->command == "show")
        return show(*parsed);
    if (parsed->command == "diff")
        return diff(*parsed);
    if (parsed->command == "match")
        return matchCommand(*parsed);
    return plot(*parsed, argc, argv);
}
