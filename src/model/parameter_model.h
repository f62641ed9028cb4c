#pragma once
// The parameter image (the device's 640-byte working group) and the small records
// that travel with it: system record, preset names, pending-write flags.

#include <array>
#include <cstdint>

namespace talvex {

inline constexpr int kImageSize = 640;
inline constexpr int kChunkFlagCount = 82;
inline constexpr int kSystemRecordSize = 48;
inline constexpr int kPresetCount = 20;
inline constexpr int kPresetNameLength = 20;

inline constexpr int kPresetNameChunk = 78;   // pending flag: write the current preset's name
inline constexpr int kSystemRecordChunk = 79; // pending flag: write system-record entries 0..7

// Channel numbering of the equaliser page: 0 Main, 1 High, 2 Mid, 3 Low.
// Output numbering of the strip: 0 High, 1 Mid, 2 Low (channel = output + 1).
inline constexpr int kMainBlockSize = 144;
inline constexpr int kOutputBlockSize = 152;

// Main block offsets.
inline constexpr int kMainPolarity = 1;
inline constexpr int kMainGain = 2;   // 16-bit, 0..300
inline constexpr int kMainDelay = 4;  // 16-bit, 0..1440
inline constexpr int kBridgeMode = 6; // 0..3

// Output block offsets.
inline constexpr int kOutMute = 0;
inline constexpr int kOutPolarity = 1;
inline constexpr int kOutGain = 2;  // 16-bit, 0..325 (Low 0..300)
inline constexpr int kOutDelay = 4; // 16-bit, 0..1440
inline constexpr int kOutRecoup = 7;
inline constexpr int kOutLimiter = 16; // threshold, attack, release at +0, +1, +2

// Crossover record offsets (Main entry 8, output channel c entry 152c).
inline constexpr int kHpfFrequency = 0;
inline constexpr int kHpfType = 1;
inline constexpr int kLpfFrequency = 4;
inline constexpr int kLpfType = 5;

// Band record offsets.
inline constexpr int kBandFrequency = 0;
inline constexpr int kBandType = 1;
inline constexpr int kBandGain = 2; // 16-bit EQ gain code
inline constexpr int kBandQ = 6;    // 16-bit Q code

constexpr int chunkOf(int entry) { return entry / 8; }
constexpr int outputBlockStart(int output) { return kMainBlockSize + kOutputBlockSize * output; }
constexpr int outputFirstChunk(int output) { return 18 + 19 * output; }
constexpr int limiterChunk(int output) { return 20 + 19 * output; }
constexpr int crossoverRecord(int channel) { return channel == 0 ? 8 : 152 * channel; }
constexpr int crossoverChunk(int channel) { return channel == 0 ? 1 : 19 * channel; }
constexpr int bandRecord(int channel, int band)
{
    return (channel == 0 ? 16 : 152 * channel + 16) + 8 * band;
}
constexpr int bandChunk(int channel, int band) { return (channel == 0 ? 2 : 19 * channel + 2) + band; }

struct ParameterModel {
    std::array<int, kImageSize> image{};
    std::array<int, kSystemRecordSize> systemRecord{};
    std::array<std::array<std::uint8_t, kPresetNameLength>, kPresetCount> presetNames{};
    std::array<bool, kChunkFlagCount> pending{};
    int pageChannel = 0;

    // Writes the defaults into the image and sets the page channel to Main.
    void writeDefaults();

    int code16(int entry) const { return image[entry] + 256 * image[entry + 1]; }
    void setCode16(int entry, int code)
    {
        image[entry] = code % 256;
        image[entry + 1] = code / 256;
    }

    // Queues the chunk's write. User edits of the image reach it through
    // ParameterEdit::applyTo; the preset name and the system record mark their
    // own flags (78, 79).
    void markChunk(int chunk);
    void clearPending() { pending.fill(false); }
    // Drops the queued writes of image chunks; the preset-name and
    // system-record writes (78, 79) stay queued.
    void clearImageWrites()
    {
        for (int chunk = 0; chunk < kPresetNameChunk; ++chunk)
            pending[std::size_t(chunk)] = false;
    }
    // Lowest chunk number whose flag is set, or -1.
    int lowestPending() const;
};

} // namespace talvex
