// The measurement readers (REW text, FRD, CSV) and the match of a channel's
// equaliser to a target, on responses made here from known peaking bands.
#include "response/eq_match.h"
#include "response/measurement_file.h"

#include "model/value_tables.h"
#include "response/band_response.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace talvex;
using namespace talvex::measurement;

namespace {

std::string points(const std::string& separator, int count = 12, const std::string& prefix = "")
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += prefix + std::to_string(20 * (i + 1)) + separator + "7" + std::to_string(i) + ".5" + separator + "-1\n";
    return out;
}

struct Good {
    const char* name;
    std::string text;
    Format format;
};

TEST(MeasurementFile, ReadsEachFormatWithItsComments)
{
    const Good cases[] = {
        {"REW", "* Measurement data measured by REW\n* Freq(Hz) SPL(dB) Phase(degrees)\n" + points(" "), Format::RewText},
        {"REW tabs, CR LF", "* c\r\n" + points("\t"), Format::RewText},
        {"FRD", "# speaker.frd\n\n" + points("  "), Format::Frd},
        {"FRD exponents", "#x\n" + points(" ", 12, "") + "3.0e+02 7.5e1\n", Format::Frd},
        {"CSV comma", "Frequency (Hz),SPL (dB),Phase\n" + points(","), Format::Csv},
        {"CSV semicolon", "freq;level\n" + points(";"), Format::Csv},
    };
    for (const Good& c : cases) {
        const ReadResult r = parseMeasurement(c.text);
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.fault.reason;
        EXPECT_EQ(r.measurement.format, c.format) << c.name;
        EXPECT_GE(r.measurement.frequency.size(), 12u) << c.name;
        EXPECT_DOUBLE_EQ(r.measurement.frequency.front(), 20.0) << c.name;
        EXPECT_DOUBLE_EQ(r.measurement.level.front(), 70.5) << c.name;
    }
    // A CSV names its columns in any order.
    const ReadResult swapped = parseMeasurement("Phase,SPL,Freq\n" + std::string("0,80,20\n0,81,30\n0,82,40\n0,83,50\n"
                                                "0,84,60\n0,85,70\n0,86,80\n0,87,90\n0,88,100\n0,89,110\n"));
    ASSERT_TRUE(swapped.ok()) << swapped.fault.reason;
    EXPECT_DOUBLE_EQ(swapped.measurement.frequency[1], 30.0);
    EXPECT_DOUBLE_EQ(swapped.measurement.level[1], 81.0);
}

TEST(MeasurementFile, RefusesBadFilesNamingLineAndReason)
{
    const struct {
        const char* name;
        std::string text;
        int line;
        const char* words;
    } cases[] = {
        {"no numbers", "* only comments\n# here\n", 0, "no numbers"},
        {"decimal comma, blanks", "* x\n20 70,5\n", 2, "decimal comma"},
        {"decimal comma, semicolons", "f;spl\n20;70,5\n", 2, "decimal comma"},
        {"decimal comma, commas", "f,spl\n20,70,5\n", 2, "decimal comma"},
        {"not rising", "* x\n" + points(" ", 3) + "60 70\n", 5, "does not rise"},
        {"too few", points(" ", 9), 0, "only 9 points"},
        {"below 10 Hz", "2 70\n" + points(" "), 1, "outside 10 Hz to 24 kHz"},
        {"above 24 kHz", points(" ") + "30000 70\n", 13, "outside 10 Hz to 24 kHz"},
        {"text in data", points(" ", 3) + "40x 70\n", 4, "not a number"},
        {"nan", points(" ", 3) + "nan 70\n", 4, "not a number"},
        {"one value", points(" ", 3) + "300\n", 4, "a frequency and a level"},
    };
    for (const auto& c : cases) {
        const ReadResult r = parseMeasurement(c.text);
        ASSERT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.fault.line, c.line) << c.name << ": " << r.fault.reason;
        EXPECT_NE(r.fault.reason.find(c.words), std::string::npos) << c.name << ": " << r.fault.reason;
        if (c.line > 0) {
            EXPECT_TRUE(r.fault.reason.starts_with("Line " + std::to_string(c.line) + ":")) << r.fault.reason;
        }
    }
}

// --- the match -------------------------------------------------------------

using match::BandCodes;
using match::ChannelRecords;

ChannelRecords defaults()
{
    ChannelRecords r;
    r.crossover = {0, 0, 0, 0, 240, 0, 0, 0};
    for (int j = 0; j < 10; ++j)
        r.bands[std::size_t(j)] = {10 * j, 0, 120, 0, 120, 0, 42, 0};
    return r;
}

// A measured response: a speaker that is flat but for the given bands, plus noise.
std::vector<double> speaker(const ResponseGrid& grid, std::initializer_list<BandSettings> bands, double noise,
                            unsigned seed = 7)
{
    std::vector<double> curve(std::size_t(grid.columnCount()), 0.0);
    ResponseCurve one{};
    MarkerPosition marker;
    for (const BandSettings& b : bands) {
        one.fill(0.0);
        bandResponse(grid, b, marker, one);
        for (std::size_t i = 0; i < curve.size(); ++i)
            curve[i] += one[i];
    }
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, noise);
    for (double& v : curve)
        v += gauss(random);
    match::shiftToZeroMean(grid, curve, 60, 12000);
    return curve;
}

struct Matched {
    match::Fit fit;
    std::array<match::Record, 10> records;
    double reference; // RMS after exhaustive coordinate descent from the bands as they stand
};

Matched runMatch(const std::vector<double>& measured, const ChannelRecords& records, const match::Settings& s = {})
{
    const ResponseGrid grid;
    const match::Problem problem(grid, measured, records, s);
    Matched m{match::fit(problem), {}, 0};
    m.records = match::fittedRecords(records, problem, m.fit);
    m.reference = problem.rms(match::coordinateDescent(problem, problem.start()));
    EXPECT_NEAR(problem.rms(m.fit.bands), m.fit.rmsAfter, 1e-9);
    return m;
}

TEST(EqMatch, CorrectsKnownPeaksAtLeastAsWellAsCoordinateDescent)
{
    const ResponseGrid grid;
    // Two room modes and a presence peak, with 0.3 dB of noise.
    const auto measured = speaker(grid, {{60, kPeaking, 150, 20}, {75, kPeaking, 160, 30}, {170, kPeaking, 140, 10}}, 0.3);
    const Matched m = runMatch(measured, defaults());
    EXPECT_GT(m.fit.rmsBefore, 2.0);
    EXPECT_LT(m.fit.rmsAfter, 0.6);
    EXPECT_LE(m.fit.rmsAfter, m.reference + 0.1);
}

TEST(EqMatch, KeepsTheBoostCapAndLeavesNarrowDipsAlone)
{
    const ResponseGrid grid;
    auto eqOf = [&](const Matched& m) { return match::channelCurve(grid, {defaults().crossover, m.records}); };
    // A broad 8 dB hole: the boost stays within the cap, in each band and in their sum.
    const auto hole = speaker(grid, {{110, kPeaking, 80, 3}}, 0.1);
    for (double cap : {0.0, 3.0, 6.0}) {
        match::Settings s;
        s.maxBoostDb = cap;
        const Matched m = runMatch(hole, defaults(), s);
        const std::vector<double> eq = eqOf(m);
        for (int i = 0; i < grid.columnCount(); ++i)
            if (grid.frequency(i) >= 60 && grid.frequency(i) <= 12000) {
                ASSERT_LE(eq[std::size_t(i)], cap + 0.06) << "cap " << cap << " at " << grid.frequency(i) << " Hz";
            }
        for (const match::Record& r : m.records)
            EXPECT_LE(r[2] + 256 * r[3], 120 + int(cap * 5)) << "cap " << cap;
        if (cap == 6.0) {
            EXPECT_GT(eq[std::size_t(frequencyToColumn(grid.geometry(), 472) - 42)], 3.0);
        }
    }
    // A narrow 20 dB cancellation dip at 3564 Hz (1/20 octave wide): nothing boosts into it.
    std::vector<double> notch = speaker(grid, {}, 0.1);
    for (int i = 0; i < grid.columnCount(); ++i)
        notch[std::size_t(i)] -= 20 * std::exp(-0.5 * std::pow(std::log2(grid.frequency(i) / 3564) * 20, 2));
    const Matched dip = runMatch(notch, defaults());
    const std::vector<double> eq = eqOf(dip);
    for (int i = 0; i < grid.columnCount(); ++i)
        if (std::abs(std::log2(grid.frequency(i) / frequencyAt(180))) < 1.0 / 3) {
            EXPECT_LT(eq[std::size_t(i)], 1.0) << grid.frequency(i) << " Hz";
        }
}

TEST(EqMatch, ChangesOnlyTheBandsItMayUse)
{
    const ResponseGrid grid;
    const auto measured = speaker(grid, {{90, kPeaking, 160, 30}, {150, kPeaking, 150, 20}}, 0.2);
    ChannelRecords records = defaults();
    records.bands[3] = {30, 3, 130, 0, 7, 9, 50, 0}; // a shelf at +2 dB, reserved entries 7, 9
    match::Settings s;
    s.onlyFlatBands = true;
    const Matched m = runMatch(measured, records, s);
    EXPECT_EQ(m.records[3], records.bands[3]);
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(m.records[std::size_t(j)][4], records.bands[std::size_t(j)][4]);
        EXPECT_EQ(m.records[std::size_t(j)][5], records.bands[std::size_t(j)][5]);
    }
    EXPECT_LT(m.fit.rmsAfter, m.fit.rmsBefore / 2);
}

} // namespace
