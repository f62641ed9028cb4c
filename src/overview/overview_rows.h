#pragma once
// The rows of the bus overview, without widgets: one row per device the
// searches found, grouped by port; what each device last reported (meters,
// preset, temperature threshold), whether it answers, and which device the
// next poll between the send ticks goes to.

#include "model/parameter_model.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace talvex::overview {

// The Device addresses that answered on one port-list item.
struct PortDevices {
    std::string port;
    std::vector<int> addresses; // Device ID - 1
};

// The ports' answering devices, ports in the order of the port list, then
// those found earlier and no longer listed; ports without devices left out.
std::vector<PortDevices> inListOrder(const std::vector<std::string>& listed, const std::vector<std::string>& found,
                                     const std::function<std::vector<int>(const std::string& port)>& addressesOf);

using PresetNames = std::array<std::array<std::uint8_t, kPresetNameLength>, kPresetCount>;

struct DeviceRow {
    std::string port;
    int address = 0; // Device ID - 1
    std::optional<int> temperatureStep; // 0..30, 70 - 2 x step degrees
    std::optional<int> attenuation;     // dB
    std::optional<int> presetNumber;    // system-record entry 0, as the system-record reply leaves it
    std::optional<int> thresholdStep;   // system-record entry 7, 0..30
    std::optional<PresetNames> presetNames;
    bool silent = false;
    int silentSince = 0;     // seconds since midnight: the first poll it left unanswered
    int missedPolls = 0;     // in a row
    bool awaitingReply = false;
    int lastPollAt = 0;
    int firstMissedAt = 0;
};

// "HH:MM:SS" of a time of day in seconds since midnight.
std::string clockText(int secondsOfDay);
// "answering", or "silent since HH:MM:SS".
std::string stateText(const DeviceRow& row);
// As the main window shows them: the temperature text, "N dB", and the load
// list's text of the current preset ("Usr2:NAME"); empty until known.
std::string temperatureText(const DeviceRow& row);
std::string attenuationText(const DeviceRow& row);
std::string presetText(const DeviceRow& row);
// At or above the device's own temperature threshold.
bool temperatureAlarm(const DeviceRow& row);

class BusRows {
public:
    // Polls left unanswered in a row after which a device counts as silent.
    static constexpr int kMissedPollLimit = 3;

    struct Poll {
        int address = 0;
        int command = 0; // a read command: meters, system record or preset names
    };

    // Adds the devices not listed yet; rows already listed stay as they are.
    void addFound(const std::vector<PortDevices>& found);

    // A session is open on `port` with the device at `selectedAddress`; that
    // device gets a row even when no search found it. Its replies come through
    // the session's own handling (watchdog included), so it is never polled here.
    void linkOpened(const std::string& port, int selectedAddress, int now);
    // The session's port closed: its rows fall silent (those already silent keep their time).
    void linkClosed(int now);
    // A port left the port list: its rows fall silent.
    void portGone(const std::string& port, int now);

    // The read for the next other device on the session's port, in turn: its
    // meters first, then its system record and its preset names once, then
    // meters again. Also counts the previous poll as missed when no reply came.
    // Nothing when there is no session or no other device on its port.
    // `metersOnly`: always the meters (the records are read by nextRecordRead).
    std::optional<Poll> nextPoll(int now, bool metersOnly = false);
    // The system record, then the preset names, of the first other device on
    // the session's port that has answered a meter poll but not told them yet.
    std::optional<Poll> nextRecordRead() const;

    // Replies from a device on the session's port. Each one means the device answers.
    void metersArrived(int address, int temperatureStep, int attenuation);
    void systemRecordArrived(int address, int presetNumber, int thresholdStep);
    void presetNamesArrived(int address, const PresetNames& names);

    const std::vector<DeviceRow>& rows() const { return rows_; }
    int alarmCount() const;
    const std::optional<std::string>& linkPort() const { return linkPort_; }
    int selectedAddress() const { return selectedAddress_; }

private:
    DeviceRow* find(const std::string& port, int address);
    DeviceRow* answered(int address);
    void insert(const std::string& port, int address);
    void countMissed(DeviceRow& row);

    std::vector<DeviceRow> rows_;
    std::vector<std::string> portOrder_; // ports in the order they were first listed
    std::optional<std::string> linkPort_;
    int selectedAddress_ = -1;
    std::optional<int> lastPolled_; // address
};

} // namespace talvex::overview
