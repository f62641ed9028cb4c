#pragma once
// Traffic capture (--traffic-log FILE): one line per frame sent, per reply frame
// received and per link event, each written and flushed at once so that a crash
// keeps everything up to its last line. A line reads
//
//      1234 TX /dev/ttyUSB0 A5A5A500A200A000000002AA
//
// milliseconds since the log was opened, direction (TX sent, RX received,
// EV event), transport (the serial port's name, "USB", or "-"), then the frame
// as two upper-case hexadecimal digits per byte (the text group files keep) or
// the event's text. The file is appended to, so an earlier run's lines survive a
// restart; every run begins with an EV line saying when it started.

#include "link/frame_transport.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace talvex {

class TrafficLog {
public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<std::int64_t()>;

    TrafficLog();
    explicit TrafficLog(Clock clock);
    ~TrafficLog();
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // Opens `path` for appending and writes the run's first line (with
    // `program`, the version text, and the UTC date). False, with errorText(),
    // when the file cannot be opened.
    bool open(const std::filesystem::path& path, std::string_view program = "talvex-editor");
    bool isOpen() const { return file_ != nullptr; }
    const std::string& errorText() const { return error_; }

    // `portOpen` false: the frame was handed to a serial port that a port
    // error had closed, so it never reached the line.
    void sent(std::string_view transport, std::span<const std::uint8_t> bytes, bool portOpen = true);
    void received(std::string_view transport, std::span<const std::uint8_t> frame, bool isReply = true);
    // A reply that came after its request's deadline; it went to no handler.
    void receivedLate(std::string_view transport, std::span<const std::uint8_t> frame);
    void event(std::string_view transport, std::string_view text);

private:
    void write(std::string_view direction, std::string_view transport, std::string_view text);

    Clock clock_;
    std::int64_t start_ = 0;
    std::FILE* file_ = nullptr;
    std::string error_;
    std::string line_;
};

// Sits between the command sender and the real transport, logging every frame
// on its way out.
class TrafficTap : public FrameTransport {
public:
    // `serialName` gives the name of the serial port the link uses, `serialOpen`
    // whether it is open (frames to a closed port are marked as not sent).
    TrafficTap(FrameTransport& inner, TrafficLog& log, std::function<std::string()> serialName,
               std::function<bool()> serialOpen = {})
        : inner_(inner), log_(log), serialName_(std::move(serialName)), serialOpen_(std::move(serialOpen))
    {
    }

    // "USB" while the USB link carries the frames, otherwise the serial port's name.
    std::string transportName() const;

    bool usbActive() const override { return inner_.usbActive(); }
    // One TX line per part the frame is written in (a block write: head, then data).
    void sendFrame(std::span<const std::uint8_t> frame) override { submitFrame(frame, BusPriority::Edit); }
    void submitFrame(std::span<const std::uint8_t> frame, BusPriority priority) override;

private:
    FrameTransport& inner_;
    TrafficLog& log_;
    std::function<std::string()> serialName_;
    std::function<bool()> serialOpen_;
};

} // namespace talvex
