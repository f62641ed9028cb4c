#pragma once

#include "link/frame_transport.h"

#include <cstdint>
#include <vector>

// Keeps every write the codec makes, in order.
struct RecordingTransport : talvex::FrameTransport {
    bool usb = false;
    std::vector<std::vector<std::uint8_t>> hidReports;
    std::vector<std::vector<std::uint8_t>> hidBlocks;
    std::vector<std::vector<std::uint8_t>> serialWrites;

    bool usbActive() const override { return usb; }
    void writeHidReport(std::span<const std::uint8_t, 65> report) override
    {
        hidReports.emplace_back(report.begin(), report.end());
    }
    void writeHidBlock(std::span<const std::uint8_t, 642> block) override
    {
        hidBlocks.emplace_back(block.begin(), block.end());
    }
    void writeSerial(std::span<const std::uint8_t> bytes) override
    {
        serialWrites.emplace_back(bytes.begin(), bytes.end());
    }
};
