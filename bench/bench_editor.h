#pragma once
// What the benches that drive a whole editor share: prompts that only print,
// a HID controller with no devices (so the serial link carries the connection),
// and a wait that keeps the event loop running.

#include "link/hid_controller.h"
#include "ui/prompts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace talvex::bench {

class SilentPrompts : public Prompts {
public:
    void message(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool question(const QString&) override { return false; }
};

class NoHid : public HidController {
public:
    QList<HidDeviceInfo> devices() const override { return {}; }
    HidOpenResult open(int) override { return {}; }
    void close() override {}
    bool isOpen() const override { return false; }
    HidWriteResult write(std::span<const std::uint8_t>) override { return {}; }
};

// Runs the event loop until `done` or `timeoutMs` has passed; false on time-out.
inline bool waitFor(const std::function<bool()>& done, qint64 timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace talvex::bench
