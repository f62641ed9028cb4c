// Feeds arbitrary byte streams through both receive paths and the dispatcher.
// The first byte of each chunk header picks the path and the chunk length, so
// the fuzzer can interleave serial reads and USB reports of any size.

#include "link/hex_text.h"
#include "link/reply_receiver.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    LinkState link;
    ReplyReceiver receiver(link);
    std::size_t handled = 0;
    for (int command : {0x22, 0x26, 0x28, 0x29, 0x2B, 0xA0})
        receiver.setHandler(std::uint8_t(command), [&](const std::string& frameText) {
            // Handlers read payload bytes anywhere in the text, as the real ones do.
            for (std::size_t i = 0; i < 650; i += 13)
                handled += std::size_t(replyDataByte(frameText, i) + 1);
        });

    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        const bool usb = control & 0x80;
        std::size_t length = usb ? ((control & 0x40) ? 64 : (control & 0x3F)) : (control & 0x7F) + 1;
        if (length > size - at)
            length = size - at;
        if (usb)
            receiver.ShowRead(data + at, length);
        else
            receiver.appendSerialBytes(std::span<const std::uint8_t>(data + at, length));
        at += length;
        if (receiver.receiveText().size() > 2 * ReplyReceiver::kTextLimit)
            __builtin_trap(); // the text must stay bounded
    }
    return handled == 0xFFFFFFFF ? 1 : 0;
}
