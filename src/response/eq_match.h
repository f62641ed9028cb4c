#pragma once
// Matching a channel's equaliser to a target, given a measured response.
//
// Everything lives on the evaluation columns of the response grid (uniform in
// log frequency), with the graph's own curve model for the crossovers and bands,
// so what the fit scores is what the graph draws. A column without a value (a
// measurement that does not reach it, a target outside the range) holds NaN.
//
// The fit works like this:
//   - the measurement, shifted to a mean of 0 dB over the range, is smoothed to
//     1/12 octave and its narrow dips are filled (a closing over 1/3 octave): no
//     equaliser can fill a cancellation dip, so the fit neither boosts into one
//     nor counts it in its score;
//   - the score is the RMS deviation of that curve plus the channel's bands
//     from the target, over the range. The crossovers are left out on both
//     sides: the wanted response is the target shaped by the channel's own
//     crossovers, so the bands flatten the loudspeaker and the crossovers
//     keep their slopes (the graph draws the target with them);
//   - the bands the fit may use become peaking bands: one at a time at the largest
//     remaining deviation (cuts first; boosts only up to the cap), then frequency,
//     gain and Q of all of them are refined by coordinate descent over the
//     device's own codes (frequency table, EQ gain table, Q codes 0..78). The
//     same descent is also run from the bands as they stand, and the better of
//     the two ends is kept.
//   - the boost cap holds for every band's gain and for the sum of the fitted
//     bands at every column of the range.
// Plain C++, no Qt.

#include "response/curve_overlay.h"
#include "response/measurement_file.h"
#include "response/response_grid.h"

#include <array>
#include <vector>

namespace talvex::match {

using Record = std::array<int, 8>;

// What the channel's curve is made of: the crossover record and the ten band records.
struct ChannelRecords {
    Record crossover{};
    std::array<Record, 10> bands{};
};

struct Settings {
    double lowHz = 60.0;
    double highHz = 12000.0;
    double tiltDbPerOctave = 0.0; // 0: flat
    bool onlyFlatBands = false;   // use only the bands at 0 dB (the others stay as they are)
    double maxBoostDb = 6.0;      // 0: cuts only
};

// The range is 20 Hz .. 20 kHz at most, at least one octave, low below high;
// the boost 0 .. 12 dB, the tilt -3 .. +3 dB per octave. Empty when it is fine,
// otherwise the reason.
std::string checkSettings(const Settings& settings);

// The measurement's levels at the grid's columns, interpolated linearly in log
// frequency; NaN beyond its first and last points.
std::vector<double> onGrid(const ResponseGrid& grid, const measurement::Measurement& m);
// Shifts the curve so that its mean over lowHz .. highHz is 0 dB (columns with
// a value). Returns false, unchanged, when no column of the range has a value.
bool shiftToZeroMean(const ResponseGrid& grid, std::vector<double>& curve, double lowHz, double highHz);
// Tilt x (log2 f - mean of log2 f over the range) on the range's columns, NaN elsewhere.
std::vector<double> targetCurve(const ResponseGrid& grid, const Settings& settings);
// A measurement and its target as the graph overlays them: the measurement
// shifted to 0 dB over the settings' range, the target over that range.
CurveOverlay measuredOverlay(const ResponseGrid& grid, const measurement::Measurement& m, const Settings& settings);
// The channel's summed curve (high-pass + low-pass + bands), as the graph draws it.
std::vector<double> channelCurve(const ResponseGrid& grid, const ChannelRecords& records);

// One band the fit uses: codes of a peaking band.
struct BandCodes {
    int frequencyCode = 0;
    int gainCode = 120;
    int qCode = 42;
    bool operator==(const BandCodes&) const = default;
};

// The prepared fit: the scored columns and the fixed part of the deviation.
class Problem {
public:
    // `measured`: the shifted measurement on the grid. Nothing to fit (empty
    // columns()) when the measurement covers none of the range.
    Problem(const ResponseGrid& grid, const std::vector<double>& measured, const ChannelRecords& records,
            const Settings& settings);

    int columns() const { return int(base_.size()); }
    const std::vector<int>& usableBands() const { return usable_; }
    // The usable bands' codes as they stand (peaking bands keep theirs; any other
    // type counts as flat), frequencies moved into the range; all flat when they
    // break the boost cap.
    const std::vector<BandCodes>& start() const { return start_; }
    int highestGainCode() const { return maxGainCode_; }
    int lowestFrequencyCode() const { return lowFreqCode_; }
    int highestFrequencyCode() const { return highFreqCode_; }

    // RMS deviation (dB) of the channel with the usable bands set to `bands`;
    // infinity when the bands break the boost cap.
    double rms(const std::vector<BandCodes>& bands) const;
    // RMS deviation with the channel as it stands.
    double rmsAsItStands() const { return rmsNow_; }

    // Level of one peaking band at the scored columns.
    void bandCurve(const BandCodes& band, std::vector<double>& out) const;
    const std::vector<double>& base() const { return base_; }
    double columnFrequency(std::size_t i) const { return frequency_[i]; }
    double boostCap() const { return boostCap_; }

private:
    std::vector<double> cos_, sin_, base_;
    std::vector<double> frequency_;
    std::vector<int> usable_;
    std::vector<BandCodes> start_;
    int maxGainCode_ = 120, lowFreqCode_ = 0, highFreqCode_ = 243;
    double boostCap_ = 0.0;
    double rmsNow_ = 0.0;
};

struct Fit {
    std::vector<BandCodes> bands; // one per usable band, in Problem::usableBands() order
    double rmsBefore = 0.0;       // the channel as it stands
    double rmsAfter = 0.0;
};

// Exhaustive coordinate descent: band by band, each of frequency, gain and Q set
// to its best code with the others held, until a whole sweep improves nothing.
std::vector<BandCodes> coordinateDescent(const Problem& problem, std::vector<BandCodes> bands);
Fit fit(const Problem& problem);

// The channel's band records with the fit written in: a fitted band at 0 dB
// only has its gain set to 0 dB, any other becomes a peaking band with the
// fitted frequency, gain and Q; the reserved entries and every unused band stay.
std::array<Record, 10> fittedRecords(const ChannelRecords& records, const Problem& problem, const Fit& result);

} // namespace talvex::match
