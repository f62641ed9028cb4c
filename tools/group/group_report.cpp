#include "group_report.h"

#include "model/number_text.h"
#include "model/parameter_model.h"
#include "model/value_tables.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace talvex::grouptool {

namespace {

constexpr std::array<std::string_view, 5> kChannelNames = {"Main", "High", "Mid", "Low", "tail"};
// The items of the bridge menu, by mode.
constexpr std::array<const char*, 4> kBridgeModeNames = {"No BTL", "Low-mid BTL", "high-mid BTL",
                                                         "Low-mid BTL high=low"};
constexpr int kTailStart = 600;

std::string decimal(int value)
{
    char digits[16];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string withCode(std::string text, int code) { return text + " (code " + decimal(code) + ")"; }

// A list position as the list's item; past the list, only the code.
template <std::size_t N>
std::string listItem(const std::array<const char*, N>& list, int code)
{
    if (code >= 0 && std::size_t(code) < N)
        return list[std::size_t(code)];
    return "code " + decimal(code);
}

// A table value; a code past the table reads the last entry, as the editor does.
std::string tableText(std::string text, int code, int count)
{
    return code < count ? text : withCode(std::move(text), code);
}

std::string onOff(int code)
{
    if (code == 0)
        return "off";
    return code == 1 ? "on" : withCode("on", code);
}

std::string polarity(int code)
{
    if (code == 0)
        return "+";
    return code == 1 ? "-" : withCode("-", code);
}

std::string gain(int code, int maximum)
{
    return code <= maximum ? gainText(code) : withCode(gainText(code), code);
}

std::string delay(int code)
{
    constexpr int kMaxDelay = 1440;
    return code <= kMaxDelay ? delayText(code) : withCode(delayText(code), code);
}

std::string frequency(int code)
{
    return tableText(oneDecimalText(frequencyAt(code)) + " Hz", code, kFrequencyCodes);
}

// Collects the settings of one channel and notes which entries they cover.
class Reader {
public:
    Reader(const groupfile::GroupImage& image, int blockStart, std::array<bool, kImageSize>& covered)
        : image_(image), start_(blockStart), covered_(covered)
    {
    }
    int byte(int offset)
    {
        covered_[std::size_t(start_ + offset)] = true;
        return image_[std::size_t(start_ + offset)];
    }
    int word(int offset) { return byte(offset) + 256 * byte(offset + 1); }

private:
    const groupfile::GroupImage& image_;
    int start_;
    std::array<bool, kImageSize>& covered_;
};

int blockStart(int channel) { return channel == 0 ? 0 : outputBlockStart(channel - 1); }

ChannelView view(const groupfile::GroupImage& image, int channel, std::array<bool, kImageSize>& covered)
{
    ChannelView out;
    out.channel = channel;
    Reader block(image, blockStart(channel), covered);
    auto add = [&out](std::string name, std::string value) { out.settings.push_back({std::move(name), std::move(value)}); };
    if (channel == 0) {
        add("gain", gain(block.word(kMainGain), 300));
        add("delay", delay(block.word(kMainDelay)));
        add("polarity", polarity(block.byte(kMainPolarity)));
        add("bridge mode", listItem(kBridgeModeNames, block.byte(kBridgeMode)));
    } else {
        add("mute", onOff(block.byte(kOutMute)));
        add("polarity", polarity(block.byte(kOutPolarity)));
        add("gain", gain(block.word(kOutGain), channel == 3 ? 300 : 325));
        add("delay", delay(block.word(kOutDelay)));
        add("limiter threshold", listItem(kLimiterThresholdNames, block.byte(kOutLimiter)));
        add("limiter attack", listItem(kLimiterAttackNames, block.byte(kOutLimiter + 1)));
        add("limiter release", listItem(kLimiterReleaseNames, block.byte(kOutLimiter + 2)));
        if (channel == 3) // only Low has the recoup control
            add("recoup", onOff(block.byte(kOutRecoup)));
    }
    Reader crossover(image, crossoverRecord(channel), covered);
    add("HPF frequency", frequency(crossover.byte(kHpfFrequency)));
    add("HPF type", listItem(kCrossoverTypeNames, crossover.byte(kHpfType)));
    add("LPF frequency", frequency(crossover.byte(kLpfFrequency)));
    add("LPF type", listItem(kCrossoverTypeNames, crossover.byte(kLpfType)));

    for (int j = 0; j < kBands; ++j) {
        Reader band(image, bandRecord(channel, j), covered);
        Band& b = out.bands[std::size_t(j)];
        b.frequency = frequency(band.byte(kBandFrequency));
        b.type = listItem(kBandTypeNames, band.byte(kBandType));
        const int gainCode = band.word(kBandGain);
        b.gain = tableText(oneDecimalText(eqGainAt(gainCode)) + " dB", gainCode, kEqGainCodes);
        const int qCode = band.word(kBandQ);
        b.q = tableText(generalNumberText(qAt(qCode)), qCode, kQCodes);
    }
    return out;
}

int channelOfEntry(int entry)
{
    if (entry >= kTailStart)
        return kTailChannel;
    if (entry < kMainBlockSize)
        return 0;
    return 1 + (entry - kMainBlockSize) / kOutputBlockSize;
}

std::string padded(std::string_view text, std::size_t width)
{
    std::string out(text);
    out.resize(std::max(width, text.size()), ' ');
    return out;
}

} // namespace

std::string_view channelName(int channel)
{
    return channel >= 0 && channel < int(kChannelNames.size()) ? kChannelNames[std::size_t(channel)] : "?";
}

std::optional<int> channelFromName(std::string_view name)
{
    for (int c = 0; c < kChannels; ++c) {
        const std::string_view known = kChannelNames[std::size_t(c)];
        if (name.size() == known.size() &&
            std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
            }))
            return c;
    }
    return std::nullopt;
}

ChannelView viewChannel(const groupfile::GroupImage& image, int channel)
{
    std::array<bool, kImageSize> covered{};
    return view(image, channel, covered);
}

std::string showChannel(const ChannelView& view)
{
    std::string out(channelName(view.channel));
    out += '\n';
    for (const Setting& s : view.settings)
        out += "  " + s.name + ": " + s.value + '\n';

    const std::array<std::string_view, 5> headings = {"band", "type", "frequency", "gain", "Q"};
    std::array<std::size_t, 5> width{};
    for (std::size_t i = 0; i < headings.size(); ++i)
        width[i] = headings[i].size();
    std::array<std::array<std::string, 5>, kBands> rows;
    for (int j = 0; j < kBands; ++j) {
        const Band& b = view.bands[std::size_t(j)];
        rows[std::size_t(j)] = {"EQ" + decimal(j + 1), b.type, b.frequency, b.gain, b.q};
        for (std::size_t i = 0; i < width.size(); ++i)
            width[i] = std::max(width[i], rows[std::size_t(j)][i].size());
    }
    auto row = [&](auto cells) {
        std::string line = "  ";
        for (std::size_t i = 0; i < cells.size(); ++i)
            line += i + 1 < cells.size() ? padded(cells[i], width[i] + 2) : std::string(cells[i]);
        out += line + '\n';
    };
    row(headings);
    for (const auto& cells : rows)
        row(cells);
    return out;
}

std::vector<Parameter> groupParameters(const groupfile::GroupImage& image, bool reserved)
{
    std::array<bool, kImageSize> covered{};
    std::array<ChannelView, kChannels> views;
    for (int c = 0; c < kChannels; ++c)
        views[std::size_t(c)] = view(image, c, covered);

    std::vector<Parameter> out;
    out.reserve(reserved ? std::size_t(kImageSize) : 256);
    // The entries the editor only carries, after the settings of their channel.
    int entry = 0;
    auto addReserved = [&](int channel) {
        for (; reserved && entry < kImageSize && channelOfEntry(entry) == channel; ++entry)
            if (!covered[std::size_t(entry)])
                out.push_back({channel, "entry " + decimal(entry) + " (reserved)", decimal(image[std::size_t(entry)])});
    };
    for (int c = 0; c < kChannels; ++c) {
        const ChannelView& v = views[std::size_t(c)];
        for (const Setting& s : v.settings)
            out.push_back({c, s.name, s.value});
        for (int j = 0; j < kBands; ++j) {
            const Band& b = v.bands[std::size_t(j)];
            const std::string band = "EQ" + decimal(j + 1);
            out.push_back({c, band + " type", b.type});
            out.push_back({c, band + " frequency", b.frequency});
            out.push_back({c, band + " gain", b.gain});
            out.push_back({c, band + " Q", b.q});
        }
        addReserved(c);
    }
    addReserved(kTailChannel);
    return out;
}

std::vector<std::string> diffGroups(std::string_view label, const groupfile::GroupImage& a,
                                    const groupfile::GroupImage& b)
{
    if (a == b)
        return {};
    const std::vector<Parameter> left = groupParameters(a, true);
    const std::vector<Parameter> right = groupParameters(b, true);
    std::vector<std::string> lines;
    // Both lists name the same parameters in the same order: the layout is fixed.
    for (std::size_t i = 0; i < left.size() && i < right.size(); ++i) {
        if (left[i].value == right[i].value)
            continue;
        lines.push_back(std::string(label) + " / " + std::string(channelName(left[i].channel)) + " / " +
                        left[i].name + ": " + left[i].value + " \u2192 " + right[i].value);
    }
    return lines;
}

} // namespace talvex::grouptool
