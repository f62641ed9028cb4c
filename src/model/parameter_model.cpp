#include "model/parameter_model.h"

namespace talvex {

namespace {

void writeBandDefaults(std::array<int, kImageSize>& image, int record, int band)
{
    image[record + kBandFrequency] = 10 * band;
    image[record + kBandType] = 0;
    image[record + kBandGain] = 120; // 0.0 dB
    image[record + kBandGain + 1] = 0;
    image[record + 4] = 120;
    image[record + 5] = 0;
    image[record + kBandQ] = 42; // Q 4.072
    image[record + kBandQ + 1] = 0;
}

} // namespace

void ParameterModel::writeDefaults()
{
    image.fill(0);
    for (int channel = 0; channel < 4; ++channel) {
        const int xover = crossoverRecord(channel);
        image[xover + kHpfFrequency] = 0;   // 19.7 Hz
        image[xover + kLpfFrequency] = 240; // 20100 Hz
        for (int band = 0; band < 10; ++band)
            writeBandDefaults(image, bandRecord(channel, band), band);
    }
    for (int output = 0; output < 3; ++output)
        image[outputBlockStart(output) + kOutLimiter] = 20; // "0dB"
    pageChannel = 0;
}

void ParameterModel::markChunk(int chunk)
{
    if (chunk >= 0 && chunk < kChunkFlagCount)
        pending[chunk] = true;
}

int ParameterModel::lowestPending() const
{
    for (int chunk = 0; chunk < kChunkFlagCount; ++chunk)
        if (pending[chunk])
            return chunk;
    return -1;
}

} // namespace talvex
