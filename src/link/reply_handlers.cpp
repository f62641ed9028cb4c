#include "link/reply_handlers.h"

#include "link/hex_text.h"
#include "model/value_tables.h"

#include <algorithm>
#include <string_view>

namespace talvex::replies {

namespace {

constexpr int kRawLimit = 5118;

// Reads `count` data bytes into `out`; false if any of them is missing.
template <typename Out>
bool readBytes(const std::string& text, std::size_t count, Out&& out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const int value = replyDataByte(text, i);
        if (value < 0)
            return false;
        out(i, value);
    }
    return true;
}

} // namespace

bool identificationMatches(const std::string& text)
{
    if (text.size() < kIdentificationText)
        return false;
    for (std::size_t i = 0; i < frame::kIdentificationSize; ++i)
        if (replyDataByte(text, i) != static_cast<unsigned char>(frame::kIdentification[i]))
            return false;
    return true;
}

bool storePresetNames(const std::string& text, ParameterModel& model)
{
    if (text.size() < kNamesText)
        return false;
    auto names = model.presetNames;
    const bool ok = readBytes(text, kPresetCount * kPresetNameLength, [&](std::size_t i, int v) {
        names[i / kPresetNameLength][i % kPresetNameLength] = std::uint8_t(v);
    });
    if (ok)
        model.presetNames = names;
    return ok;
}

std::string presetDisplayName(const std::array<std::uint8_t, kPresetNameLength>& name)
{
    std::string shown;
    for (std::uint8_t code : name) {
        if (code != 0 && (code < 32 || code > 127))
            return {};
        shown.push_back(code == 0 ? ' ' : char(code));
    }
    return shown;
}

std::optional<int> storeSystemRecord(const std::string& text, ParameterModel& model)
{
    if (text.size() < kSystemText)
        return std::nullopt;
    auto record = model.systemRecord;
    if (!readBytes(text, kSystemRecordSize, [&](std::size_t i, int v) { record[i] = v; }))
        return std::nullopt;
    if (record[0] < 1 || record[0] > kPresetCount)
        record[0] = 0;
    model.systemRecord = record;
    return record[0] == 0 ? 0 : record[0] - 1;
}

bool storeGroup(const std::string& text, ParameterModel& model)
{
    if (text.size() < kGroupText)
        return false;
    auto image = model.image;
    if (!readBytes(text, kImageSize, [&](std::size_t i, int v) { image[i] = v; }))
        return false;
    model.image = image;
    return true;
}

std::optional<MeterReading> decodeMeter(const std::string& text)
{
    if (text.size() < kMeterText)
        return std::nullopt;
    std::array<int, 8> bytes{};
    if (!readBytes(text, 8, [&](std::size_t i, int v) { bytes[i] = v; }))
        return std::nullopt;
    MeterReading reading;
    reading.raw = std::min(bytes[2] * 256 + bytes[3], kRawLimit);
    reading.step = temperatureStep(reading.raw);
    reading.attenuation = bytes[4];
    reading.extra = {bytes[5], bytes[6], bytes[7]};
    return reading;
}

int temperatureStep(int raw)
{
    raw = std::min(raw, kRawLimit);
    const auto& limit = kTemperatureRawLimits;
    for (int i = 1; i < int(limit.size()); ++i) {
        if (raw <= limit[i])
            return raw - limit[i - 1] > limit[i] - raw ? i : i - 1;
    }
    return int(limit.size()) - 1;
}

std::string temperatureText(int step)
{
    if (step <= 0)
        return ">=70";
    if (step >= 30)
        return "<=10";
    return std::to_string(70 - 2 * step);
}

} // namespace talvex::replies
