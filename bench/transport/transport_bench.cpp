// Figures of the transports and the virtual amplifier:
// - SerialRoundTrip: a meter request written by the serial link until its reply
//   is dispatched, over a pseudo-terminal to an in-process virtual amplifier.
//   The 50 ms settle before each read is the floor.
// - HidRoundTrip: the same over the fake HID controller (65-byte report out,
//   two 64-byte reports back, delivered on the event loop).
// - VirtualBusFeed / HidBlockWrite: the device side's own cost per frame.
// - ReceiveGroupReply: the editor's reassembly and dispatch of a group reply.

#include "fake_hid_controller.h"
#include "link/frame.h"
#include "link/frame_packaging.h"
#include "link/port_list.h"
#include "link/reply_receiver.h"
#include "link/serial_link.h"
#include "link/usb_hid_link.h"
#include "link/usb_report_assembler.h"
#include "pty_server.h"
#include "virtual_amplifier.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QEventLoop>

#include <benchmark/benchmark.h>

using namespace talvex;

namespace {

std::vector<std::uint8_t> meterRequest()
{
    return frame::encode({0, frame::kOpRead, 0, frame::kCmdMeters, 0, {}});
}

void waitUntil(const bool& done)
{
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void SerialRoundTrip(benchmark::State& state)
{
    vamp::VirtualBus bus;
    bus.add(1);
    vamp::PtyServer server(bus);
    if (!server.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ReplyReceiver receiver;
    SerialLink serial(receiver);
    serial.open(server.slavePath());
    if (!serial.isOpen()) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    serial.startReader();
    bool done = false;
    receiver.setHandler(frame::kCmdMeters, [&](const frame::Reply&) { done = true; });
    const auto request = meterRequest();
    for (auto _ : state) {
        done = false;
        serial.write(request);
        waitUntil(done);
    }
}
BENCHMARK(SerialRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void HidRoundTrip(benchmark::State& state)
{
    vamp::VirtualBus bus;
    bus.add(1);
    vamp::FakeHidController controller;
    LinkState link = LinkState::Closed;
    ReplyReceiver receiver;
    UsbHidLink usb(controller, link);
    QObject::connect(&usb, &UsbHidLink::bytesReceived, [&](const QByteArray& f) { receiver.receiveFrame(byteSpan(f)); });
    QTemporaryDir locks;
    usb.setLockDirectory(locks.path());
    controller.plug(vamp::FakeHidController::amplifierInfo(), &bus);
    link = LinkState::Usb; // connected over USB: the amplifier carries the link
    bool done = false;
    receiver.setHandler(frame::kCmdMeters, [&](const frame::Reply&) { done = true; });
    const auto request = meterRequest();
    for (auto _ : state) {
        done = false;
        usb.writeFrame(request);
        waitUntil(done);
        controller.written.clear();
    }
}
BENCHMARK(HidRoundTrip)->Unit(benchmark::kMicrosecond);

void VirtualBusFeed(benchmark::State& state)
{
    vamp::VirtualBus bus;
    for (int id = 1; id <= state.range(0); ++id)
        bus.add(id);
    const auto request = frame::encode({0, frame::kOpRead, 0, frame::kCmdCurrentGroup, 0, {}});
    for (auto _ : state)
        benchmark::DoNotOptimize(bus.feed(request));
}
BENCHMARK(VirtualBusFeed)->Arg(1)->Arg(32);

void HidBlockWrite(benchmark::State& state)
{
    vamp::VirtualBus bus;
    bus.add(1);
    vamp::HidReportDevice device(bus);
    const auto whole = frame::encode({0, frame::kOpWrite, 0, frame::kCmdCurrentGroup, 0, std::vector<std::uint8_t>(640, 7)});
    // The reports the USB link writes for it: the head, 11 pieces, the repeat.
    std::vector<HidReport> reports;
    for (auto part : frameParts(whole))
        for (const HidReport& report : hidReports(part))
            reports.push_back(report);
    for (auto _ : state)
        for (const auto& report : reports)
            benchmark::DoNotOptimize(device.outputReport(std::span(report).subspan<1, 64>()));
}
BENCHMARK(HidBlockWrite);

// The editor's own cost of taking in a 640-byte group reply and handing its
// frame to the handler: over the serial path in reads of 64 bytes, and over the
// USB path as a header report and 11 data reports.
void ReceiveGroupReply(benchmark::State& state)
{
    const bool usbPath = state.range(0) != 0;
    ReplyReceiver receiver;
    UsbReportAssembler assembler;
    std::size_t seen = 0;
    receiver.setHandler(frame::kCmdCurrentGroup, [&](const frame::Reply& reply) { seen += reply.payload().size(); });
    const auto reply =
        frame::encode({0, frame::kOpReply, 0, frame::kCmdCurrentGroup, 0, std::vector<std::uint8_t>(640, 7)});
    std::vector<std::array<std::uint8_t, 64>> reports(1);
    std::copy_n(reply.begin(), frame::kHeadSize, reports[0].begin());
    for (std::size_t at = frame::kHeadSize; at < reply.size(); at += 64) {
        reports.emplace_back();
        std::copy_n(reply.begin() + std::ptrdiff_t(at), std::min<std::size_t>(64, reply.size() - at),
                    reports.back().begin());
    }
    for (auto _ : state) {
        if (usbPath) {
            for (const auto& report : reports)
                if (const auto whole = assembler.addReport(report))
                    receiver.receiveFrame(*whole);
        } else {
            for (std::size_t at = 0; at < reply.size(); at += 64)
                receiver.receive(std::span(reply).subspan(at, std::min<std::size_t>(64, reply.size() - at)));
        }
    }
    if (seen != 640 * std::size_t(state.iterations()))
        state.SkipWithError("a reply was not dispatched");
}
BENCHMARK(ReceiveGroupReply)->ArgName("usb")->Arg(0)->Arg(1);

// The start-up reading of this machine's serial ports (the editor does it once,
// after its window shows, and again only when the device monitor reports a change).
void PortListRead(benchmark::State& state)
{
    PortList list;
    std::size_t ports = 0;
    for (auto _ : state)
        ports = list.read().size();
    state.counters["ports"] = double(ports);
}
BENCHMARK(PortListRead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
