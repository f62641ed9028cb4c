// Feeds arbitrary byte streams through both receive paths (bus bytes, and USB
// reports joined into frames), the dispatcher and the reply decoders. The first
// byte of each chunk header picks the path and the chunk length, so the fuzzer
// can interleave serial reads and USB reports of any size.

#include "link/reply_handlers.h"
#include "link/reply_receiver.h"
#include "link/usb_report_assembler.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ReplyReceiver receiver;
    UsbReportAssembler reports;
    ParameterModel model;
    std::size_t handled = 0;
    for (int command : {0x22, 0x26, 0x28, 0x29, 0x2B, 0xA0})
        receiver.setHandler(std::uint8_t(command), [&](const frame::Reply& reply) {
            // Every decoder a handler may run, on whatever payload the frame carries.
            const auto payload = reply.payload();
            handled += replies::identificationMatches(payload) + replies::storePresetNames(payload, model) +
                       replies::storeSystemRecord(payload, model).value_or(0) + replies::storeGroup(payload, model);
            if (const auto meter = replies::decodeMeter(payload))
                handled += std::size_t(meter->step);
            for (std::uint8_t b : reply.bytes)
                handled += b;
        });

    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        const bool usb = control & 0x80;
        std::size_t length = usb ? ((control & 0x40) ? 64 : (control & 0x3F)) : (control & 0x7F) + 1;
        if (length > size - at)
            length = size - at;
        const std::span<const std::uint8_t> chunk(data + at, length);
        if (!usb)
            receiver.receive(chunk);
        else if (const auto frame = reports.addReport(chunk))
            receiver.receiveFrame(*frame);
        at += length;
        if (receiver.receivedBytes().size() > 2 * ReplyReceiver::kByteLimit)
            __builtin_trap(); // the received bytes must stay bounded
    }
    return handled == 0xFFFFFFFF ? 1 : 0;
}
