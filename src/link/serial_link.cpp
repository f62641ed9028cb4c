#include "link/serial_link.h"

#include <utility>

namespace talvex {

SerialLink::SerialLink(ReplyReceiver& receiver, QObject* parent) : QObject(parent), receiver_(receiver)
{
    connect(&bus_, &BusPort::opened, this, [this] {
        opening_ = false;
        emit opened();
    });
    connect(&bus_, &BusPort::failed, this, [this](const QString& text) {
        const bool wasOpening = std::exchange(opening_, false);
        readerRunning_ = false;
        emit portFailed(text);
        // A read or write error on an open port is left to the no-reply supervision.
        if (wasOpening)
            emit openFailed();
    });
    connect(&bus_, &BusPort::closed, this, [this] { readerRunning_ = false; });
    // Replies to frames written by hand, and whatever else arrives whole and in time.
    connect(&bus_, &BusPort::unexpectedReply, this, [this](const QByteArray& frame) {
        deliver(byteSpan(frame));
    });
    connect(&bus_, &BusPort::lateReply, this, &SerialLink::lateReply);
}

SerialLink::~SerialLink() = default;

void SerialLink::open(const QString& location)
{
    readerRunning_ = false;
    opening_ = true;
    bus_.open(location);
}

void SerialLink::startReader()
{
    if (!bus_.isOpen())
        return;
    readerRunning_ = true;
}

void SerialLink::close()
{
    readerRunning_ = false;
    opening_ = false;
    const bool wasActive = bus_.isOpen() || bus_.connecting();
    bus_.close();
    if (wasActive)
        emit closed();
}

void SerialLink::submit(std::span<const std::uint8_t> frame, BusPriority priority)
{
    if (frame.empty() || !bus_.isOpen())
        return;
    BusRequest request;
    request.frame.assign(frame.begin(), frame.end());
    request.priority = priority;
    request.replyPayload = expectedReplyPayload(frame);
    const bool poll = priority >= BusPriority::Poll;
    if (request.replyPayload) {
        request.onReply = [this, poll](const frame::Reply& reply) {
            if (!readerRunning_)
                return;
            if (poll)
                receiver_.dispatchOtherDevice(reply.bytes);
            else
                receiver_.receive(reply.bytes);
        };
        request.onNoReply = [this, address = frame[3], command = frame[6], poll] {
            emit requestUnanswered(address, command, poll);
        };
    }
    bus_.submit(std::move(request));
}

void SerialLink::write(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || !bus_.isOpen())
        return;
    bus_.writeUnscheduled(bytes);
}

void SerialLink::deliver(std::span<const std::uint8_t> reply)
{
    if (readerRunning_)
        receiver_.receive(reply);
}

} // namespace talvex
