#pragma once
// Equaliser band response: one peaking or shelving biquad per band, its curve on
// the response grid and the pixel position of the band's marker.

#include "response/biquad.h"

#include <array>
#include <optional>
#include <span>

namespace talvex {

inline constexpr int kCurveQCodes = 180;
// Q of the peaking curve per Q code: 0.2, 0.4, .. 36.0. Not the displayed Q table.
extern const std::array<double, kCurveQCodes> kCurveQTable;

enum BandType { kPeaking = 0, kLowShelf6 = 1, kLowShelf12 = 2, kHighShelf6 = 3, kHighShelf12 = 4 };

struct MarkerPosition {
    int x = 0;
    int y = 0;
    bool operator==(const MarkerPosition&) const = default;
};

// A band's settings as codes, clamped to what the tables hold: frequency 0..243,
// EQ gain 0..180, Q 0..179 (larger Q codes come only from foreign data).
struct BandSettings {
    int frequencyCode = 0;
    int type = 0;
    int gainCode = 120;
    int qCode = 0;
};

// Reads a band record (8 image entries: frequency, type, gain lo/hi, -, -, Q lo/hi).
BandSettings bandFromRecord(std::span<const int, 8> record);

MarkerPosition bandMarker(const GraphGeometry& geometry, const BandSettings& band);
// The band's section; none for a type above 4. A gain of exactly 0 dB is a pass-through section.
std::optional<Biquad> designBand(const BandSettings& band);

// Writes the marker and fills the curve; a type above 4 leaves the curve as it was.
void bandResponse(const ResponseGrid& grid, const BandSettings& band, MarkerPosition& marker, ResponseCurve& curve);
inline void bandResponse(const ResponseGrid& grid, std::span<const int, 8> record, MarkerPosition& marker,
                         ResponseCurve& curve)
{
    bandResponse(grid, bandFromRecord(record), marker, curve);
}

} // namespace talvex
