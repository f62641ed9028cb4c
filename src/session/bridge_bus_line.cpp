#include "session/bridge_bus_line.h"

namespace talvex {

BridgeBusLine::BridgeBusLine(BusTiming timing, QObject* parent)
    : QObject(parent), scheduler_([this](std::span<const std::uint8_t> bytes) { serial_.write(bytes); }, timing)
{
    clock_.start();
    wake_.setSingleShot(true);
    connect(&wake_, &QTimer::timeout, this, &BridgeBusLine::drive);
    // Every complete reply goes to the scheduler, which hands it to the request it answers.
    for (int command = 0; command < 256; ++command)
        receiver_.setHandler(std::uint8_t(command), [this](const frame::Reply& reply) {
            const bool outer = !driving_;
            driving_ = true;
            scheduler_.replyArrived(reply, clock_.elapsed());
            if (outer) {
                driving_ = false;
                drive();
            }
        });
    connect(&serial_, &SerialLink::connectEnded, this, [this](bool ok) {
        if (ok)
            becameOpen();
    });
    connect(&serial_, &SerialLink::portFailed, this, [this](const QString& text) {
        const bool wasOpen = open_;
        open_ = false;
        scheduler_.reset();
        wake_.stop();
        if (link_.connected)
            serial_.close();
        emit failed(text);
        if (wasOpen)
            emit closed();
    });
}

BridgeBusLine::~BridgeBusLine() = default;

void BridgeBusLine::open(const QString& location)
{
    close();
    if (serial_.openLocation(location))
        becameOpen();
    // A gateway connects in the background (connectEnded); a serial port that
    // did not open has sent portFailed.
}

void BridgeBusLine::becameOpen()
{
    open_ = true;
    receiver_.clear();
    serial_.startReader();
    emit opened();
    drive();
}

void BridgeBusLine::close()
{
    const bool wasOpen = open_;
    open_ = false;
    scheduler_.reset();
    wake_.stop();
    serial_.close();
    if (wasOpen)
        emit closed();
}

RequestId BridgeBusLine::submit(BusRequest request)
{
    if (!open_)
        return 0;
    const RequestId id = scheduler_.submit(std::move(request));
    drive();
    return id;
}

void BridgeBusLine::drive()
{
    if (!open_)
        return;
    // Callbacks run inside the scheduler may submit: their drive waits for this one.
    if (driving_) {
        again_ = true;
        return;
    }
    driving_ = true;
    do {
        again_ = false;
        scheduler_.advance(clock_.elapsed());
    } while (again_ && open_);
    driving_ = false;
    if (!open_)
        return;
    if (const auto wake = scheduler_.nextWakeMs())
        wake_.start(int(std::max<std::int64_t>(0, *wake - clock_.elapsed())));
    else
        wake_.stop();
}

} // namespace talvex
