#include "overview/overview_rows.h"

#include "link/frame.h"
#include "link/reply_handlers.h"
#include "model/value_tables.h"

#include <algorithm>
#include <charconv>

namespace talvex::overview {

namespace {

void appendTwoDigits(std::string& text, int value)
{
    char digits[4]{};
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    if (end - digits < 2)
        text.push_back('0');
    text.append(digits, end);
}

std::string number(int value)
{
    char digits[12]{};
    return {digits, std::to_chars(digits, digits + sizeof digits, value).ptr};
}

} // namespace

std::string clockText(int secondsOfDay)
{
    std::string text;
    appendTwoDigits(text, secondsOfDay / 3600 % 24);
    text.push_back(':');
    appendTwoDigits(text, secondsOfDay / 60 % 60);
    text.push_back(':');
    appendTwoDigits(text, secondsOfDay % 60);
    return text;
}

std::string stateText(const DeviceRow& row)
{
    return row.silent ? "silent since " + clockText(row.silentSince) : std::string("answering");
}

std::string temperatureText(const DeviceRow& row)
{
    return row.temperatureStep ? replies::temperatureText(*row.temperatureStep) : std::string();
}

std::string attenuationText(const DeviceRow& row)
{
    return row.attenuation ? number(*row.attenuation) + " dB" : std::string();
}

std::string presetText(const DeviceRow& row)
{
    if (!row.presetNumber || !row.presetNames)
        return {};
    // As the system-record reply selects it: entry 0 names presets 1..20, anything else the first.
    const int item = *row.presetNumber >= 1 && *row.presetNumber <= kPresetCount ? *row.presetNumber - 1 : 0;
    return replies::presetItemText(item, (*row.presetNames)[std::size_t(item)]);
}

bool temperatureAlarm(const DeviceRow& row)
{
    // Fewer steps are hotter: at or above the threshold is a step at or below its step.
    return row.temperatureStep && row.thresholdStep && *row.temperatureStep <= *row.thresholdStep;
}

DeviceRow* BusRows::find(const std::string& port, int address)
{
    const auto at = std::find_if(rows_.begin(), rows_.end(),
                                 [&](const DeviceRow& row) { return row.port == port && row.address == address; });
    return at == rows_.end() ? nullptr : &*at;
}

void BusRows::insert(const std::string& port, int address)
{
    if (find(port, address))
        return;
    if (std::find(portOrder_.begin(), portOrder_.end(), port) == portOrder_.end())
        portOrder_.push_back(port);
    DeviceRow row;
    row.port = port;
    row.address = address;
    rows_.push_back(row);
    // Grouped by port (in the order the ports were first listed), addresses ascending.
    const auto rank = [this](const DeviceRow& r) {
        return std::pair(std::find(portOrder_.begin(), portOrder_.end(), r.port) - portOrder_.begin(), r.address);
    };
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&](const DeviceRow& a, const DeviceRow& b) { return rank(a) < rank(b); });
}

void BusRows::addFound(const std::vector<PortDevices>& found)
{
    for (const PortDevices& port : found)
        for (int address : port.addresses)
            insert(port.port, address);
}

void BusRows::linkOpened(const std::string& port, int selectedAddress, int now)
{
    insert(port, selectedAddress);
    linkPort_ = port;
    selectedAddress_ = selectedAddress;
    lastPolled_.reset();
    for (DeviceRow& row : rows_) {
        if (row.port != port)
            continue;
        row.awaitingReply = false;
        row.missedPolls = 0;
        row.lastPollAt = now;
    }
    // The session has just read its device.
    find(port, selectedAddress)->silent = false;
}

void BusRows::linkClosed(int now)
{
    if (!linkPort_)
        return;
    portGone(*linkPort_, now);
    linkPort_.reset();
    selectedAddress_ = -1;
    lastPolled_.reset();
}

void BusRows::portGone(const std::string& port, int now)
{
    for (DeviceRow& row : rows_) {
        if (row.port != port)
            continue;
        row.awaitingReply = false;
        if (!row.silent) {
            row.silent = true;
            row.silentSince = now;
        }
    }
}

void BusRows::countMissed(DeviceRow& row)
{
    if (!row.awaitingReply)
        return;
    row.awaitingReply = false;
    if (row.missedPolls++ == 0)
        row.firstMissedAt = row.lastPollAt;
    if (row.missedPolls >= kMissedPollLimit && !row.silent) {
        row.silent = true;
        row.silentSince = row.firstMissedAt;
    }
}

std::optional<BusRows::Poll> BusRows::nextRecordRead() const
{
    if (!linkPort_)
        return std::nullopt;
    for (const DeviceRow& row : rows_) {
        if (row.port != *linkPort_ || row.address == selectedAddress_ || row.silent || !row.temperatureStep)
            continue;
        if (!row.thresholdStep)
            return Poll{row.address, frame::kCmdReadSystemRecord};
        if (!row.presetNames)
            return Poll{row.address, frame::kCmdReadPresetNames};
    }
    return std::nullopt;
}

std::optional<BusRows::Poll> BusRows::nextPoll(int now, bool metersOnly)
{
    if (!linkPort_)
        return std::nullopt;
    // A reply comes within a few tens of milliseconds: one still missing when
    // the next poll is due will not come.
    if (lastPolled_)
        if (DeviceRow* previous = find(*linkPort_, *lastPolled_))
            countMissed(*previous);

    std::vector<DeviceRow*> others;
    for (DeviceRow& row : rows_)
        if (row.port == *linkPort_ && row.address != selectedAddress_)
            others.push_back(&row);
    if (others.empty())
        return std::nullopt;
    // Rows are in ascending address order: the first after the last one polled, or the first.
    auto next = others.front();
    if (lastPolled_)
        for (DeviceRow* row : others)
            if (row->address > *lastPolled_) {
                next = row;
                break;
            }
    lastPolled_ = next->address;
    next->awaitingReply = true;
    next->lastPollAt = now;

    int command = frame::kCmdMeters;
    if (!metersOnly && next->temperatureStep && !next->thresholdStep)
        command = frame::kCmdReadSystemRecord;
    else if (!metersOnly && next->temperatureStep && !next->presetNames)
        command = frame::kCmdReadPresetNames;
    return Poll{next->address, command};
}

DeviceRow* BusRows::answered(int address)
{
    if (!linkPort_)
        return nullptr;
    DeviceRow* row = find(*linkPort_, address);
    if (!row)
        return nullptr; // not listed: a device the searches did not find stays out
    row->awaitingReply = false;
    row->missedPolls = 0;
    row->silent = false;
    return row;
}

void BusRows::metersArrived(int address, int temperatureStep, int attenuation)
{
    if (DeviceRow* row = answered(address)) {
        row->temperatureStep = temperatureStep;
        row->attenuation = attenuation;
    }
}

void BusRows::systemRecordArrived(int address, int presetNumber, int thresholdStep)
{
    if (DeviceRow* row = answered(address)) {
        row->presetNumber = presetNumber;
        row->thresholdStep = thresholdStep;
    }
}

void BusRows::presetNamesArrived(int address, const PresetNames& names)
{
    if (DeviceRow* row = answered(address))
        row->presetNames = names;
}

int BusRows::alarmCount() const
{
    return int(std::count_if(rows_.begin(), rows_.end(), temperatureAlarm));
}

std::vector<PortDevices> inListOrder(const std::vector<std::string>& listed, const std::vector<std::string>& found,
                                     const std::function<std::vector<int>(const std::string& port)>& addressesOf)
{
    std::vector<std::string> ports = listed;
    for (const std::string& port : found)
        if (std::find(ports.begin(), ports.end(), port) == ports.end())
            ports.push_back(port);
    std::vector<PortDevices> devices;
    for (const std::string& port : ports)
        if (auto addresses = addressesOf(port); !addresses.empty())
            devices.push_back({port, std::move(addresses)});
    return devices;
}

} // namespace talvex::overview
