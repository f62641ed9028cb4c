#pragma once
// Stand-in for the bus port of the session layer, for talvex-bridge until that
// lands: one serial port or network gateway (the editor's SerialLink and reply
// reception) driven by the bus scheduler, so that one conversation at a time is
// on the line. open(location), close(), submit(request); opened / failed /
// closed. To be folded into the session's BusPort, whose interface it copies.

#include "link/bus_scheduler.h"
#include "link/link_state.h"
#include "link/reply_receiver.h"
#include "link/serial_link.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace talvex {

class BridgeBusLine : public QObject {
    Q_OBJECT
public:
    explicit BridgeBusLine(BusTiming timing = {}, QObject* parent = nullptr);
    ~BridgeBusLine() override;

    // Opens a serial device or starts connecting to tcp://HOST:PORT; opened()
    // or failed() follows (at once for a serial device).
    void open(const QString& location);
    // Closes it; waiting requests are dropped without their callbacks.
    void close();
    bool isOpen() const { return open_; }
    RequestId submit(BusRequest request);

signals:
    void opened();
    void failed(const QString& text);
    void closed();

private:
    void drive();
    void becameOpen();

    LinkState link_;
    ReplyReceiver receiver_{link_};
    SerialLink serial_{link_, receiver_};
    BusScheduler scheduler_;
    QElapsedTimer clock_;
    QTimer wake_;
    bool open_ = false;
    bool driving_ = false; // inside the scheduler: a nested drive() only asks for another round
    bool again_ = false;
};

} // namespace talvex
