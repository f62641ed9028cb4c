#include "link/reply_handlers.h"

#include "model/value_tables.h"

#include <algorithm>
#include <string_view>

namespace talvex::replies {

namespace {

constexpr int kRawLimit = 5118;

} // namespace

bool identificationMatches(Payload payload)
{
    return payload.size() >= frame::kIdentificationSize &&
           std::equal(payload.begin(), payload.begin() + frame::kIdentificationSize, frame::kIdentification,
                      [](std::uint8_t code, char c) { return code == static_cast<unsigned char>(c); });
}

bool storePresetNames(Payload payload, ParameterModel& model)
{
    constexpr std::size_t kNamesSize = kPresetCount * kPresetNameLength;
    if (payload.size() < kNamesSize)
        return false;
    for (std::size_t i = 0; i < kNamesSize; ++i)
        model.presetNames[i / kPresetNameLength][i % kPresetNameLength] = payload[i];
    return true;
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

std::string presetItemText(int item, const std::array<std::uint8_t, kPresetNameLength>& name)
{
    const std::string shown = presetDisplayName(name);
    if (item >= 0 && item < int(kPresetLabelPrefixes.size()))
        return std::string(kPresetLabelPrefixes[std::size_t(item)]) + ':' + shown;
    return shown;
}

std::optional<int> storeSystemRecord(Payload payload, ParameterModel& model)
{
    if (payload.size() < std::size_t(kSystemRecordSize))
        return std::nullopt;
    std::copy_n(payload.begin(), kSystemRecordSize, model.systemRecord.begin());
    auto& record = model.systemRecord;
    if (record[0] < 1 || record[0] > kPresetCount)
        record[0] = 0;
    return record[0] == 0 ? 0 : record[0] - 1;
}

bool storeGroup(Payload payload, ParameterModel& model)
{
    if (payload.size() < std::size_t(kImageSize))
        return false;
    std::copy_n(payload.begin(), kImageSize, model.image.begin());
    return true;
}

std::optional<MeterReading> decodeMeter(Payload payload)
{
    if (payload.size() < frame::kMetersSize)
        return std::nullopt;
    MeterReading reading;
    reading.raw = std::min(payload[2] * 256 + payload[3], kRawLimit);
    reading.step = temperatureStep(reading.raw);
    reading.attenuation = payload[4];
    reading.extra = {payload[5], payload[6], payload[7]};
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
