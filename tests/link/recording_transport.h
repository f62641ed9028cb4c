#pragma once

#include "link/frame_packaging.h"
#include "link/frame_transport.h"

#include <cstdint>
#include <vector>

// Keeps every write the codec makes, in order, as the active transport would
// package it: over USB a part that fits one report as that report, a block's
// data as the block; over the serial link each part as it is.
struct RecordingTransport : talvex::FrameTransport {
    bool usb = false;
    std::vector<std::vector<std::uint8_t>> hidReports;
    std::vector<std::vector<std::uint8_t>> hidBlocks;
    std::vector<std::vector<std::uint8_t>> serialWrites;

    bool usbActive() const override { return usb; }
    void sendFrame(std::span<const std::uint8_t> frame) override
    {
        for (auto part : talvex::frameParts(frame)) {
            if (!usb)
                serialWrites.emplace_back(part.begin(), part.end());
            else if (part.size() <= talvex::kHidReportData) {
                const auto report = talvex::hidReports(part).front();
                hidReports.emplace_back(report.begin(), report.end());
            } else
                hidBlocks.emplace_back(part.begin(), part.end());
        }
    }
};
