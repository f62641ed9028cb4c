#pragma once
// The amplifiers of one bus (a serial port or a network gateway) for the bridge.
// On the port's scheduler it finds them (a meter read to each Device ID 1..250,
// or to the listed IDs), reads each one found as the editor's connect does
// (identification, preset names, system record, current group), then polls its
// meters round the bus as fast as the wire allows. Three polls without a reply,
// or the port gone, make a device offline; an offline device is asked again
// every 5 s and read anew when it answers; a port that closed is reopened every
// 5 s. Commands become the editor's own frames (chunk writes through the send
// scheduler's mapping, a preset recall as the preset load sends it) queued ahead
// of the polls, and a device that has not been found is never written to.

#include "bridge/amplifier_messages.h"
#include "link/bus_scheduler.h"
#include "link/command_sender.h"
#include "link/frame_transport.h"
#include "link/link_state.h"
#include "link/bus_port.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace talvex::bridge {

class AmplifierPort : public QObject {
    Q_OBJECT
public:
    static constexpr int kMissedPollLimit = 3;
    static constexpr int kRetryMs = 5000;
    static constexpr int kFirstId = 1;
    static constexpr int kLastId = 250;

    // `deviceIds` empty: search 1..250 on every open and search().
    AmplifierPort(QString name, QString location, std::vector<int> deviceIds, QObject* parent = nullptr);
    ~AmplifierPort() override;

    const QString& name() const { return name_; }
    void start();
    // Asks every Device ID again that is not known yet (the listed ones, or 1..250).
    void search();
    void close();

    // The amplifiers found so far, in ID order, and one of them (null when not found).
    std::vector<const AmplifierState*> devices() const;
    const AmplifierState* device(int deviceId) const;
    bool isOnline(int deviceId) const;

    // A `set` payload for one amplifier: refused (commandRefused) or queued;
    // the state follows once the device has answered after the writes.
    void command(int deviceId, const std::string& payload);
    // Reads system record, current group and meters again, then publishes.
    void refresh(int deviceId);

signals:
    // A device answered its identification and has been read (again): the
    // list of devices and its discovery may have changed.
    void deviceRead(int deviceId);
    void stateChanged(int deviceId);
    void availabilityChanged(int deviceId, bool online);
    void commandRefused(int deviceId, const QString& error, const QByteArray& request);
    void logLine(const QString& text);

private:
    struct Device;
    class Submitter;

    Device& deviceRecord(int deviceId);
    Device* found(int deviceId);
    // Queues one frame that `build` makes with the device's command sender.
    void submit(Device& device, BusPriority priority, const std::function<void(CommandSender&)>& build,
                std::function<void(const frame::Reply&)> onReply, std::function<void()> onNoReply = {});
    void probe(int deviceId);
    void readDevice(int deviceId);
    void readNext(int deviceId, int command);
    void poll(int deviceId);
    void missed(int deviceId);
    void setOnline(Device& device, bool online);
    void writeEdits(int deviceId, const SetCommand& command, const std::string& request);
    void confirm(int deviceId, const SetCommand& command, const std::string& request);
    void portOpened();
    void portLost(const QString& why);

    QString name_;
    QString location_;
    std::vector<int> listedIds_;
    std::unique_ptr<BusPort> bus_;
    std::unique_ptr<Submitter> submitter_;
    int epoch_ = 0; // counts the port's closes: callbacks of an older opening are void
    std::map<int, std::unique_ptr<Device>> devices_;
    std::set<int> probing_; // IDs with a probe queued or on the wire
    QTimer reopen_;
    QTimer retry_; // offline and not yet answering devices are asked again
    bool open_ = false;
    bool closing_ = false;
};

} // namespace talvex::bridge
