#include "bridge/amplifier_port.h"

#include "link/reply_handlers.h"
#include "model/parameter_edit.h"

#include <algorithm>

namespace talvex::bridge {

// Hands each frame the device's command sender builds to the bus scheduler,
// with the priority and callbacks of the request being made.
class AmplifierPort::Submitter : public FrameTransport {
public:
    explicit Submitter(BusPort& bus) : bus_(bus) {}
    bool usbActive() const override { return false; }
    void sendFrame(std::span<const std::uint8_t> bytes) override
    {
        next.frame.assign(bytes.begin(), bytes.end());
        next.replyPayload = expectedReplyPayload(bytes);
        bus_.submit(std::move(next));
        next = {};
    }
    BusRequest next;

private:
    BusPort& bus_;
};

struct AmplifierPort::Device {
    Device(const QString& port, int deviceId, Submitter& submitter) : sender(draft, link)
    {
        state.port = port.toStdString();
        state.deviceId = deviceId;
        sender.deviceAddress = deviceId - 1;
        sender.setTransport(&submitter);
    }
    // What the device has told: the state that is published.
    AmplifierState state;
    // The image with the edits sent but not yet confirmed: the chunk writes are
    // built from it, so a second edit of a chunk keeps the first one's value.
    ParameterModel draft;
    LinkState link = LinkState::Bus; // the bridge's own port carries every frame
    CommandSender sender;
    bool identified = false; // answered as a Talvex-96K and was read: it may be written to
    bool foreign = false;    // answered with another identification: left alone
    bool online = false;
    bool reading = false;   // the read of identification .. group is under way
    bool polling = false;   // a meter read of its own is queued or on the wire
    int missed = 0;         // polls without a reply in a row
};

AmplifierPort::AmplifierPort(QString name, QString location, std::vector<int> deviceIds, QObject* parent)
    : QObject(parent), name_(std::move(name)), location_(std::move(location)), listedIds_(std::move(deviceIds)),
      bus_(std::make_unique<BusPort>())
{
    submitter_ = std::make_unique<Submitter>(*bus_);
    reopen_.setSingleShot(true);
    reopen_.setInterval(kRetryMs);
    connect(&reopen_, &QTimer::timeout, this, [this] { bus_->open(location_); });
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] {
        for (auto& [id, device] : devices_)
            if (!device->online && !device->polling && !device->reading && !device->foreign)
                probe(id);
        for (int id : listedIds_)
            if (!devices_.count(id))
                probe(id);
    });
    connect(bus_.get(), &BusPort::opened, this, &AmplifierPort::portOpened);
    connect(bus_.get(), &BusPort::failed, this, &AmplifierPort::portLost);
    connect(bus_.get(), &BusPort::closed, this, [this] { portLost(QStringLiteral("closed")); });
}

AmplifierPort::~AmplifierPort() = default;

void AmplifierPort::start() { bus_->open(location_); }

void AmplifierPort::close()
{
    closing_ = true;
    reopen_.stop();
    retry_.stop();
    bus_->close();
}

std::vector<const AmplifierState*> AmplifierPort::devices() const
{
    std::vector<const AmplifierState*> list;
    for (const auto& [id, device] : devices_)
        if (device->identified)
            list.push_back(&device->state);
    return list;
}

const AmplifierState* AmplifierPort::device(int deviceId) const
{
    const auto it = devices_.find(deviceId);
    return it != devices_.end() && it->second->identified ? &it->second->state : nullptr;
}

bool AmplifierPort::isOnline(int deviceId) const
{
    const auto it = devices_.find(deviceId);
    return it != devices_.end() && it->second->online;
}

AmplifierPort::Device& AmplifierPort::deviceRecord(int deviceId)
{
    auto& slot = devices_[deviceId];
    if (!slot)
        slot = std::make_unique<Device>(name_, deviceId, *submitter_);
    return *slot;
}

AmplifierPort::Device* AmplifierPort::found(int deviceId)
{
    const auto it = devices_.find(deviceId);
    return it != devices_.end() && it->second->identified ? it->second.get() : nullptr;
}

void AmplifierPort::submit(Device& device, BusPriority priority, const std::function<void(CommandSender&)>& build,
                           std::function<void(const frame::Reply&)> onReply, std::function<void()> onNoReply)
{
    const int epoch = epoch_;
    BusRequest& request = submitter_->next;
    request.priority = priority;
    if (onReply)
        request.onReply = [this, epoch, onReply = std::move(onReply)](const frame::Reply& reply) {
            if (epoch == epoch_)
                onReply(reply);
        };
    if (onNoReply)
        request.onNoReply = [this, epoch, onNoReply = std::move(onNoReply)] {
            if (epoch == epoch_)
                onNoReply();
        };
    build(device.sender);
    request = {}; // a build that sent nothing leaves no callbacks for the next frame
}

void AmplifierPort::portOpened()
{
    open_ = true;
    emit logLine(QStringLiteral("%1: %2 open").arg(name_, location_));
    search();
    retry_.start();
}

void AmplifierPort::portLost(const QString& why)
{
    const bool wasOpen = open_;
    open_ = false;
    ++epoch_; // callbacks of requests the port dropped are void
    probing_.clear();
    for (auto& [id, device] : devices_) {
        device->polling = false;
        device->reading = false;
        setOnline(*device, false);
    }
    retry_.stop();
    if (closing_)
        return;
    if (wasOpen || !reopen_.isActive())
        emit logLine(QStringLiteral("%1: %2: %3; retrying every %4 s").arg(name_, location_, why).arg(kRetryMs / 1000));
    reopen_.start();
}

void AmplifierPort::search()
{
    if (!open_)
        return;
    if (!listedIds_.empty()) {
        for (int id : listedIds_)
            if (!isOnline(id))
                probe(id);
        return;
    }
    for (int id = kFirstId; id <= kLastId; ++id)
        if (!isOnline(id))
            probe(id);
}

// A meter read to one Device ID: whoever answers is read as the editor's
// connect reads a device. One probe per ID at a time; none to a device online.
void AmplifierPort::probe(int deviceId)
{
    if (probing_.count(deviceId) || isOnline(deviceId))
        return;
    if (const Device* known = found(deviceId); known && (known->polling || known->reading))
        return;
    probing_.insert(deviceId);
    const int epoch = epoch_;
    BusRequest request;
    request.frame = frame::encode({std::uint8_t(deviceId - 1), frame::kOpRead, 0, frame::kCmdMeters, 0, {}});
    request.priority = BusPriority::Poll;
    request.replyPayload = frame::kMetersSize;
    request.onReply = [this, epoch, deviceId](const frame::Reply&) {
        if (epoch != epoch_)
            return;
        probing_.erase(deviceId);
        readDevice(deviceId);
    };
    request.onNoReply = [this, epoch, deviceId] {
        if (epoch == epoch_)
            probing_.erase(deviceId);
    };
    bus_->submit(std::move(request));
}

void AmplifierPort::readDevice(int deviceId)
{
    Device& device = deviceRecord(deviceId);
    if (device.reading)
        return;
    device.reading = true;
    readNext(deviceId, frame::kCmdIdentification);
}

// The read-all chain: identification, preset names, system record, current group.
void AmplifierPort::readNext(int deviceId, int command)
{
    Device& device = deviceRecord(deviceId);
    const auto failed = [this, deviceId] {
        Device& d = deviceRecord(deviceId);
        d.reading = false;
        missed(deviceId);
    };
    submit(
        device, BusPriority::Chain, [command](CommandSender& sender) { sender.sendRead(0, command, 0); },
        [this, deviceId, command](const frame::Reply& reply) {
            Device& d = deviceRecord(deviceId);
            ParameterModel& model = d.state.model;
            const auto payload = reply.payload();
            switch (command) {
            case frame::kCmdIdentification:
                if (!replies::identificationMatches(payload)) {
                    d.reading = false;
                    d.foreign = true;
                    emit logLine(QStringLiteral("%1: Device ID %2 answers but is not a Talvex-96K").arg(name_).arg(deviceId));
                    return;
                }
                d.state.identification.assign(payload.begin(), payload.begin() + frame::kIdentificationSize);
                while (!d.state.identification.empty() && d.state.identification.back() == ' ')
                    d.state.identification.pop_back();
                readNext(deviceId, frame::kCmdReadPresetNames);
                return;
            case frame::kCmdReadPresetNames:
                if (replies::storePresetNames(payload, model))
                    readNext(deviceId, frame::kCmdReadSystemRecord);
                else
                    d.reading = false;
                return;
            case frame::kCmdReadSystemRecord:
                if (replies::storeSystemRecord(payload, model))
                    readNext(deviceId, frame::kCmdCurrentGroup);
                else
                    d.reading = false;
                return;
            default:
                d.reading = false;
                if (!replies::storeGroup(payload, model))
                    return;
                d.draft = model;
                const bool isNew = !d.identified;
                d.identified = true;
                d.missed = 0;
                if (isNew)
                    emit logLine(QStringLiteral("%1: found Device ID %2").arg(name_).arg(deviceId));
                emit deviceRead(deviceId);
                setOnline(d, true);
                emit stateChanged(deviceId);
                poll(deviceId);
            }
        },
        failed);
}

void AmplifierPort::poll(int deviceId)
{
    Device* device = found(deviceId);
    if (!device || !device->online || device->polling || !open_)
        return;
    device->polling = true;
    submit(
        *device, BusPriority::Poll, [](CommandSender& sender) { sender.sendRead(0, frame::kCmdMeters, 0); },
        [this, deviceId](const frame::Reply& reply) {
            Device& d = deviceRecord(deviceId);
            d.polling = false;
            d.missed = 0;
            if (const auto reading = replies::decodeMeter(reply.payload())) {
                const bool changed = d.state.temperatureStep != reading->step || d.state.attenuationDb != reading->attenuation;
                d.state.temperatureStep = reading->step;
                d.state.attenuationDb = reading->attenuation;
                if (changed)
                    emit stateChanged(deviceId);
            }
            poll(deviceId);
        },
        [this, deviceId] {
            deviceRecord(deviceId).polling = false;
            missed(deviceId);
            poll(deviceId);
        });
}

void AmplifierPort::missed(int deviceId)
{
    Device& device = deviceRecord(deviceId);
    if (++device.missed >= kMissedPollLimit)
        setOnline(device, false);
}

void AmplifierPort::setOnline(Device& device, bool online)
{
    if (!device.identified || device.online == online)
        return;
    device.online = online;
    if (!online)
        device.missed = 0;
    if (closing_)
        return;
    emit logLine(QStringLiteral("%1: Device ID %2 %3").arg(name_).arg(device.state.deviceId).arg(online ? "online" : "offline"));
    emit availabilityChanged(device.state.deviceId, online);
}

void AmplifierPort::command(int deviceId, const std::string& payload)
{
    const QByteArray request = QByteArray::fromStdString(payload);
    const SetParse parsed = parseSetPayload(payload);
    if (parsed.refusal) {
        emit commandRefused(deviceId, QString::fromStdString(parsed.refusal->error), request);
        return;
    }
    Device* device = found(deviceId);
    if (!device) {
        emit commandRefused(deviceId, QStringLiteral("no amplifier with this Device ID was found on this port"), request);
        return;
    }
    if (!device->online || !open_) {
        emit commandRefused(deviceId, QStringLiteral("the amplifier is offline"), request);
        return;
    }
    const SetCommand& command = *parsed.command;
    if (!command.preset) {
        writeEdits(deviceId, command, payload);
        return;
    }
    // The preset load: read 40 with the slot as index; the device loads the
    // preset and answers with its group. The edits of the same message follow.
    const int slot = *command.preset;
    submit(
        *device, BusPriority::Edit, [slot](CommandSender& sender) { sender.sendRead(slot, frame::kCmdCurrentGroup, 0); },
        [this, deviceId, slot, command, payload](const frame::Reply& reply) {
            Device& d = deviceRecord(deviceId);
            if (!replies::storeGroup(reply.payload(), d.state.model))
                return;
            d.state.model.systemRecord[0] = slot;
            d.draft = d.state.model;
            writeEdits(deviceId, command, payload);
        },
        [this, deviceId, request] {
            emit commandRefused(deviceId, QStringLiteral("the amplifier did not answer the preset recall"), request);
            missed(deviceId);
        });
}

void AmplifierPort::writeEdits(int deviceId, const SetCommand& command, const std::string& request)
{
    Device* device = found(deviceId);
    if (!device)
        return;
    ParameterModel& draft = device->draft;
    // One edit per chunk; each marks its chunk, and the chunks go out lowest
    // first as the send scheduler sends them.
    std::map<int, ParameterEdit> edits;
    for (const auto& [entry, value] : command.entries)
        edits[chunkOf(entry)].set(entry, value);
    for (auto& [chunk, edit] : edits)
        edit.applyTo(draft);
    for (int chunk = draft.lowestPending(); chunk >= 0; chunk = draft.lowestPending()) {
        submit(*device, BusPriority::Edit, [chunk](CommandSender& sender) { sender.sendChunk(chunk); }, {});
        draft.pending[std::size_t(chunk)] = false;
    }
    confirm(deviceId, command, request);
}

// A meter read behind the writes: when the device answers it, it has taken the
// frames before it; then the written values join the state, which is published.
void AmplifierPort::confirm(int deviceId, const SetCommand& command, const std::string& request)
{
    Device* device = found(deviceId);
    if (!device)
        return;
    submit(
        *device, BusPriority::Edit, [](CommandSender& sender) { sender.sendRead(0, frame::kCmdMeters, 0); },
        [this, deviceId, entries = command.entries](const frame::Reply& reply) {
            Device& d = deviceRecord(deviceId);
            d.missed = 0;
            for (const auto& [entry, value] : entries)
                d.state.model.image[std::size_t(entry)] = value;
            if (const auto reading = replies::decodeMeter(reply.payload())) {
                d.state.temperatureStep = reading->step;
                d.state.attenuationDb = reading->attenuation;
            }
            emit stateChanged(deviceId);
        },
        [this, deviceId, request] {
            emit commandRefused(deviceId, QStringLiteral("the amplifier did not answer after the write"),
                                QByteArray::fromStdString(request));
            missed(deviceId);
        });
}

void AmplifierPort::refresh(int deviceId)
{
    Device* device = found(deviceId);
    if (!device || !device->online || device->reading)
        return;
    device->reading = true;
    readNext(deviceId, frame::kCmdReadSystemRecord);
}

} // namespace talvex::bridge
