#include "response/eq_match.h"

#include "model/value_tables.h"
#include "response/band_response.h"
#include "response/crossover_response.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talvex::match {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kFlatGainCode = 120;
constexpr int kHighestQCode = kQCodes - 1; // 78
// The summed boost may pass the cap by this much (one gain step's rounding).
constexpr double kBoostTolerance = 0.05;
// A crossover record whose filters are flat: high-pass at 19.7 Hz designs a
// 1 Hz corner, low-pass at 21900 Hz lies above 20100 Hz.
constexpr Record kFlatCrossover = {0, 0, 0, 0, 243, 0, 0, 0};
// Starting Q code of a band placed at a deviation (curve Q 4.2).
constexpr int kStartQCode = 20;

double octavesPerColumn(const ResponseGrid& grid) { return 3.0 * std::log2(10.0) / grid.geometry().decadeSpan(); }

// Boxcar mean over +-half columns, of the columns with a value.
std::vector<double> smoothed(const std::vector<double>& curve, int half)
{
    std::vector<double> out(curve.size(), kNaN);
    const int n = int(curve.size());
    for (int i = 0; i < n; ++i) {
        if (std::isnan(curve[i]))
            continue;
        double sum = 0;
        int count = 0;
        for (int k = std::max(0, i - half); k <= std::min(n - 1, i + half); ++k)
            if (!std::isnan(curve[k])) {
                sum += curve[k];
                ++count;
            }
        out[i] = sum / count;
    }
    return out;
}

// Running maximum (dilate) or minimum (erode) over +-half columns.
std::vector<double> extreme(const std::vector<double>& curve, int half, bool maximum)
{
    std::vector<double> out(curve.size(), kNaN);
    const int n = int(curve.size());
    for (int i = 0; i < n; ++i) {
        if (std::isnan(curve[i]))
            continue;
        double best = curve[i];
        for (int k = std::max(0, i - half); k <= std::min(n - 1, i + half); ++k)
            if (!std::isnan(curve[k]))
                best = maximum ? std::max(best, curve[k]) : std::min(best, curve[k]);
        out[i] = best;
    }
    return out;
}

BandSettings peakingBand(const BandCodes& band) { return {band.frequencyCode, kPeaking, band.gainCode, band.qCode}; }

int code16(const Record& r, int at) { return r[std::size_t(at)] + 256 * r[std::size_t(at + 1)]; }

} // namespace

std::string checkSettings(const Settings& s)
{
    if (!(s.lowHz >= 20.0 && s.highHz <= 20000.0))
        return "The range must lie within 20 Hz to 20000 Hz.";
    if (!(s.highHz >= 2.0 * s.lowHz))
        return "The range must span at least one octave, its low end below its high end.";
    if (!(s.maxBoostDb >= 0.0 && s.maxBoostDb <= 12.0))
        return "The maximum boost must lie within 0 dB to 12 dB.";
    if (!(s.tiltDbPerOctave >= -3.0 && s.tiltDbPerOctave <= 3.0))
        return "The tilt must lie within -3 dB to +3 dB per octave.";
    return {};
}

std::vector<double> onGrid(const ResponseGrid& grid, const measurement::Measurement& m)
{
    std::vector<double> out(std::size_t(grid.columnCount()), kNaN);
    if (m.frequency.empty())
        return out;
    std::size_t at = 0;
    for (int i = 0; i < grid.columnCount(); ++i) {
        const double f = grid.frequency(i);
        if (f < m.frequency.front() || f > m.frequency.back())
            continue;
        while (at + 1 < m.frequency.size() && m.frequency[at + 1] < f)
            ++at;
        if (at + 1 >= m.frequency.size()) {
            out[std::size_t(i)] = m.level.back();
            continue;
        }
        const double f0 = m.frequency[at], f1 = m.frequency[at + 1];
        const double t = std::log(f / f0) / std::log(f1 / f0);
        out[std::size_t(i)] = m.level[at] + std::clamp(t, 0.0, 1.0) * (m.level[at + 1] - m.level[at]);
    }
    return out;
}

bool shiftToZeroMean(const ResponseGrid& grid, std::vector<double>& curve, double lowHz, double highHz)
{
    double sum = 0;
    int count = 0;
    for (int i = 0; i < int(curve.size()) && i < grid.columnCount(); ++i)
        if (grid.frequency(i) >= lowHz && grid.frequency(i) <= highHz && !std::isnan(curve[std::size_t(i)])) {
            sum += curve[std::size_t(i)];
            ++count;
        }
    if (count == 0)
        return false;
    const double mean = sum / count;
    for (double& v : curve)
        v -= mean;
    return true;
}

std::vector<double> targetCurve(const ResponseGrid& grid, const Settings& s)
{
    std::vector<double> out(std::size_t(grid.columnCount()), kNaN);
    double sum = 0;
    int count = 0;
    for (int i = 0; i < grid.columnCount(); ++i)
        if (grid.frequency(i) >= s.lowHz && grid.frequency(i) <= s.highHz) {
            sum += std::log2(grid.frequency(i));
            ++count;
        }
    if (count == 0)
        return out;
    const double centre = sum / count;
    for (int i = 0; i < grid.columnCount(); ++i)
        if (grid.frequency(i) >= s.lowHz && grid.frequency(i) <= s.highHz)
            out[std::size_t(i)] = s.tiltDbPerOctave * (std::log2(grid.frequency(i)) - centre);
    return out;
}

CurveOverlay measuredOverlay(const ResponseGrid& grid, const measurement::Measurement& m, const Settings& s)
{
    CurveOverlay overlay;
    overlay.measured = onGrid(grid, m);
    shiftToZeroMean(grid, overlay.measured, s.lowHz, s.highHz);
    overlay.target = targetCurve(grid, s);
    return overlay;
}

std::vector<double> channelCurve(const ResponseGrid& grid, const ChannelRecords& records)
{
    ResponseCurve part{};
    std::vector<double> sum(std::size_t(grid.columnCount()), 0.0);
    auto add = [&] {
        for (std::size_t i = 0; i < sum.size(); ++i)
            sum[i] += part[i];
    };
    highPassResponse(grid, records.crossover[0], records.crossover[1], part);
    add();
    lowPassResponse(grid, records.crossover[4], records.crossover[5], part);
    add();
    for (const Record& band : records.bands) {
        part.fill(0.0); // a band of an unknown type has no curve
        MarkerPosition marker;
        bandResponse(grid, std::span<const int, 8>(band), marker, part);
        add();
    }
    return sum;
}

Problem::Problem(const ResponseGrid& grid, const std::vector<double>& measured, const ChannelRecords& records,
                 const Settings& s)
{
    // The usable bands, and the channel's curve without them.
    ChannelRecords fixed = records;
    for (int j = 0; j < 10; ++j) {
        const Record& r = records.bands[std::size_t(j)];
        const int gain = code16(r, 2);
        if (s.onlyFlatBands && gain != kFlatGainCode)
            continue;
        usable_.push_back(j);
        Record& flat = fixed.bands[std::size_t(j)];
        flat[2] = kFlatGainCode;
        flat[3] = 0;
        start_.push_back(r[1] == kPeaking && gain >= 0 && gain < kEqGainCodes
                             ? BandCodes{std::clamp(r[0], 0, kFrequencyCodes - 1), gain,
                                         std::clamp(code16(r, 6), 0, kHighestQCode)}
                             : BandCodes{std::clamp(r[0], 0, kFrequencyCodes - 1), kFlatGainCode,
                                         std::clamp(code16(r, 6), 0, kHighestQCode)});
    }
    boostCap_ = std::max(0.0, s.maxBoostDb);
    maxGainCode_ = std::min(kEqGainCodes - 1, kFlatGainCode + int(std::floor(boostCap_ * 5.0 + 1e-9)));
    lowFreqCode_ = nearestFrequencyCode(s.lowHz);
    highFreqCode_ = nearestFrequencyCode(s.highHz);
    // The fit sets bands within the range only: one outside would act where nothing is scored.
    for (BandCodes& b : start_)
        b.frequencyCode = std::clamp(b.frequencyCode, lowFreqCode_, highFreqCode_);

    // The measurement as scored: 1/12-octave smoothing, dips narrower than 1/3 octave filled.
    const double perColumn = octavesPerColumn(grid);
    std::vector<double> scored = smoothed(measured, std::max(1, int(std::lround(1.0 / 24.0 / perColumn))));
    const int closing = std::max(1, int(std::lround(1.0 / 6.0 / perColumn)));
    scored = extreme(extreme(scored, closing, true), closing, false);

    // The crossovers shape the target as much as the response: they cancel.
    fixed.crossover = kFlatCrossover;
    ChannelRecords bandsOnly = records;
    bandsOnly.crossover = kFlatCrossover;
    const std::vector<double> target = targetCurve(grid, s);
    const std::vector<double> fixedCurve = channelCurve(grid, fixed);
    const std::vector<double> wholeCurve = channelCurve(grid, bandsOnly);
    double now = 0;
    for (int i = 0; i < grid.columnCount() && i < int(scored.size()); ++i) {
        const double m = scored[std::size_t(i)], t = target[std::size_t(i)];
        if (std::isnan(m) || std::isnan(t))
            continue;
        cos_.push_back(grid.cosOmega(i));
        sin_.push_back(grid.sinOmega(i));
        frequency_.push_back(grid.frequency(i));
        base_.push_back(m + fixedCurve[std::size_t(i)] - t);
        const double e = m + wholeCurve[std::size_t(i)] - t;
        now += e * e;
    }
    rmsNow_ = base_.empty() ? 0.0 : std::sqrt(now / double(base_.size()));

    // A start that breaks the cap starts flat instead.
    if (!std::isfinite(rms(start_)))
        for (BandCodes& b : start_)
            b.gainCode = kFlatGainCode;
}

void Problem::bandCurve(const BandCodes& band, std::vector<double>& out) const
{
    out.assign(base_.size(), 0.0);
    const std::optional<Biquad> section = designBand(peakingBand(band));
    if (!section || section->isPassThrough())
        return;
    for (std::size_t i = 0; i < base_.size(); ++i)
        out[i] = section->level(cos_[i], sin_[i]);
}

double Problem::rms(const std::vector<BandCodes>& bands) const
{
    if (base_.empty())
        return 0.0;
    std::vector<double> eq(base_.size(), 0.0), one;
    for (const BandCodes& b : bands) {
        if (b.gainCode > maxGainCode_)
            return kInfinity;
        bandCurve(b, one);
        for (std::size_t i = 0; i < eq.size(); ++i)
            eq[i] += one[i];
    }
    double sum = 0;
    for (std::size_t i = 0; i < eq.size(); ++i) {
        if (eq[i] > boostCap_ + kBoostTolerance)
            return kInfinity;
        const double e = base_[i] + eq[i];
        sum += e * e;
    }
    return std::sqrt(sum / double(eq.size()));
}

namespace {

// The descent's working state: the fixed deviation, each band's curve and their sum.
class Descent {
public:
    Descent(const Problem& p, std::vector<BandCodes> bands) : p_(p), bands_(std::move(bands))
    {
        curves_.resize(bands_.size());
        eq_.assign(p.base().size(), 0.0);
        for (std::size_t b = 0; b < bands_.size(); ++b) {
            p.bandCurve(bands_[b], curves_[b]);
            for (std::size_t i = 0; i < eq_.size(); ++i)
                eq_[i] += curves_[b][i];
        }
    }

    const std::vector<BandCodes>& bands() const { return bands_; }

    // Sum of squares with band b replaced by `candidate`; infinity past the cap.
    double scoreWith(std::size_t b, const BandCodes& candidate)
    {
        if (candidate.gainCode > p_.highestGainCode())
            return kInfinity;
        p_.bandCurve(candidate, trial_);
        double sum = 0;
        const std::vector<double>& base = p_.base();
        const std::vector<double>& mine = curves_[b];
        const double cap = p_.boostCap() + kBoostTolerance;
        for (std::size_t i = 0; i < base.size(); ++i) {
            const double eq = eq_[i] - mine[i] + trial_[i];
            if (eq > cap)
                return kInfinity;
            const double e = base[i] + eq;
            sum += e * e;
        }
        return sum;
    }

    void set(std::size_t b, const BandCodes& codes)
    {
        p_.bandCurve(codes, trial_);
        for (std::size_t i = 0; i < eq_.size(); ++i)
            eq_[i] += trial_[i] - curves_[b][i];
        curves_[b].swap(trial_);
        bands_[b] = codes;
    }

    // One parameter of band b set to its best code; true when that improved the score.
    bool bestOf(std::size_t b, int BandCodes::*field, int low, int high)
    {
        BandCodes current = bands_[b];
        const double now = scoreWith(b, current);
        double best = now;
        BandCodes chosen = current;
        for (int code = low; code <= high; ++code) {
            BandCodes candidate = current;
            candidate.*field = code;
            if (candidate == current)
                continue;
            const double s = scoreWith(b, candidate);
            if (s < best - 1e-12) {
                best = s;
                chosen = candidate;
            }
        }
        if (chosen == current)
            return false;
        set(b, chosen);
        return true;
    }

    bool sweepBand(std::size_t b)
    {
        bool improved = false;
        improved |= bestOf(b, &BandCodes::gainCode, 0, p_.highestGainCode());
        if (bands_[b].gainCode != kFlatGainCode) {
            improved |= bestOf(b, &BandCodes::frequencyCode, p_.lowestFrequencyCode(), p_.highestFrequencyCode());
            improved |= bestOf(b, &BandCodes::qCode, 0, kHighestQCode);
        }
        return improved;
    }

    // Deviation now, per scored column.
    double deviation(std::size_t i) const { return p_.base()[i] + eq_[i]; }

private:
    const Problem& p_;
    std::vector<BandCodes> bands_;
    std::vector<std::vector<double>> curves_;
    std::vector<double> eq_, trial_;
};

void descend(Descent& d, std::size_t count)
{
    // Each accepted move lowers the score strictly over a finite set of codes,
    // so this ends; the cap on sweeps only bounds the time.
    for (int sweep = 0; sweep < 50; ++sweep) {
        bool improved = false;
        for (std::size_t b = 0; b < count; ++b)
            improved |= d.sweepBand(b);
        if (!improved)
            return;
    }
}

} // namespace

std::vector<BandCodes> coordinateDescent(const Problem& problem, std::vector<BandCodes> bands)
{
    if (problem.columns() == 0)
        return bands;
    Descent d(problem, std::move(bands));
    descend(d, d.bands().size());
    return d.bands();
}

Fit fit(const Problem& problem)
{
    Fit result;
    result.rmsBefore = problem.rmsAsItStands();
    if (problem.columns() == 0 || problem.usableBands().empty()) {
        result.bands = problem.start();
        result.rmsAfter = result.rmsBefore;
        return result;
    }

    // Greedy placement from flat: each band at the largest remaining deviation
    // that it may correct, refined alone, before the next one is placed.
    std::vector<BandCodes> flat = problem.start();
    for (BandCodes& b : flat)
        b.gainCode = kFlatGainCode;
    Descent greedy(problem, flat);
    const std::size_t n = flat.size();
    for (std::size_t b = 0; b < n; ++b) {
        std::size_t worst = 0;
        double worstSize = 0;
        for (std::size_t i = 0; i < std::size_t(problem.columns()); ++i) {
            const double e = greedy.deviation(i);
            const double size = e > 0 ? e : (problem.highestGainCode() > kFlatGainCode ? -e : 0.0);
            if (size > worstSize) {
                worstSize = size;
                worst = i;
            }
        }
        if (worstSize < 0.1)
            break;
        BandCodes placed;
        placed.frequencyCode = std::clamp(nearestFrequencyCode(problem.columnFrequency(worst)),
                                          problem.lowestFrequencyCode(), problem.highestFrequencyCode());
        placed.gainCode = std::min(nearestEqGainCode(-greedy.deviation(worst)), problem.highestGainCode());
        placed.qCode = kStartQCode;
        if (!std::isfinite(greedy.scoreWith(b, placed)))
            placed.gainCode = kFlatGainCode;
        greedy.set(b, placed);
        for (int round = 0; round < 4 && greedy.sweepBand(b); ++round) {
        }
    }
    descend(greedy, n);

    // The descent from the bands as they stand; the better end is kept.
    const std::vector<BandCodes> fromStart = coordinateDescent(problem, problem.start());
    const double greedyRms = problem.rms(greedy.bands());
    const double startRms = problem.rms(fromStart);
    result.bands = greedyRms <= startRms ? greedy.bands() : fromStart;
    result.rmsAfter = std::min(greedyRms, startRms);
    return result;
}

std::array<Record, 10> fittedRecords(const ChannelRecords& records, const Problem& problem, const Fit& result)
{
    std::array<Record, 10> out = records.bands;
    for (std::size_t k = 0; k < problem.usableBands().size() && k < result.bands.size(); ++k) {
        Record& r = out[std::size_t(problem.usableBands()[k])];
        const BandCodes& b = result.bands[k];
        if (b.gainCode == kFlatGainCode) {
            r[2] = kFlatGainCode;
            r[3] = 0;
            continue;
        }
        r[0] = b.frequencyCode;
        r[1] = kPeaking;
        r[2] = b.gainCode % 256;
        r[3] = b.gainCode / 256;
        r[6] = b.qCode % 256;
        r[7] = b.qCode / 256;
    }
    return out;
}

} // namespace talvex::match
