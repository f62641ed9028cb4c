#include "model/value_tables.h"

#include <algorithm>

namespace talvex {

// The device's fixed frequency list: roughly 1/24 octave, but not a formula.
const std::array<double, kFrequencyCodes> kFrequencyTable = {
    19.7, 20.3, 20.9, 21.5, 22.1, 22.7, 23.4, 24.1, 24.8, 25.5,
    26.3, 27.0, 27.8, 28.7, 29.5, 30.4, 31.3, 32.2, 33.1, 34.1,
    35.1, 36.1, 37.2, 38.3, 39.4, 40.5, 41.7, 42.9, 44.2, 45.5,
    46.8, 48.2, 49.6, 51.1, 52.6, 54.1, 55.7, 57.3, 59.0, 60.7,
    62.5, 64.3, 66.2, 68.2, 70.2, 72.2, 74.3, 76.5, 78.7, 81.1,
    83.4, 85.9, 88.4, 91.0, 93.6, 96.4, 99.2, 102.0, 105.0, 108.0,
    111.0, 115.0, 118.0, 121.0, 125.0, 129.0, 132.0, 136.0, 140.0, 144.0,
    149.0, 153.0, 158.0, 162.0, 167.0, 172.0, 179.0, 182.0, 187.0, 193.0,
    198.0, 204.0, 210.0, 216.0, 223.0, 229.0, 236.0, 243.0, 250.0, 257.0,
    265.0, 273.0, 281.0, 289.0, 297.0, 306.0, 315.0, 324.0, 334.0, 344.0,
    354.0, 364.0, 375.0, 386.0, 397.0, 409.0, 420.0, 433.0, 445.0, 459.0,
    472.0, 486.0, 500.0, 515.0, 530.0, 545.0, 561.0, 578.0, 595.0, 612.0,
    630.0, 648.0, 667.0, 687.0, 707.0, 728.0, 749.0, 771.0, 794.0, 817.0,
    841.0, 866.0, 891.0, 917.0, 944.0, 972.0, 1000.0, 1030.0, 1060.0, 1090.0,
    1123.0, 1155.0, 1190.0, 1224.0, 1260.0, 1297.0, 1335.0, 1374.0, 1414.0, 1456.0,
    1498.0, 1542.0, 1587.0, 1634.0, 1682.0, 1731.0, 1782.0, 1834.0, 1888.0, 1943.0,
    2000.0, 2059.0, 2119.0, 2181.0, 2245.0, 2311.0, 2378.0, 2448.0, 2520.0, 2594.0,
    2670.0, 2748.0, 2828.0, 2911.0, 2997.0, 3084.0, 3175.0, 3268.0, 3364.0, 3462.0,
    3564.0, 3668.0, 3776.0, 3886.0, 4000.0, 4117.0, 4238.0, 4362.0, 4490.0, 4621.0,
    4757.0, 4896.0, 5040.0, 5187.0, 5339.0, 5496.0, 5657.0, 5823.0, 5993.0, 6169.0,
    6350.0, 6536.0, 6727.0, 6924.0, 7127.0, 7336.0, 7551.0, 7772.0, 8000.0, 8234.0,
    8476.0, 8724.0, 8980.0, 9243.0, 9514.0, 9792.0, 10000.0, 10300.0, 10600.0, 10900.0,
    11300.0, 11600.0, 11900.0, 12300.0, 12600.0, 13000.0, 13400.0, 13800.0, 14200.0, 14600.0,
    15100.0, 15500.0, 16000.0, 16400.0, 16900.0, 17400.0, 17900.0, 18400.0, 19000.0, 19500.0,
    20100.0, 20700.0, 21300.0, 21900.0,
};

const std::array<double, kEqGainCodes> kEqGainTable = [] {
    std::array<double, kEqGainCodes> t{};
    for (int code = 0; code < kEqGainCodes; ++code)
        t[code] = (code - 120) / 5.0;
    return t;
}();

const std::array<double, kQCodes> kQTable = {
    0.267, 0.283, 0.317, 0.35, 0.366, 0.399, 0.431, 0.463, 0.511, 0.542,
    0.589, 0.621, 0.667, 0.713, 0.758, 0.804, 0.865, 0.924, 0.985, 1.045,
    1.104, 1.179, 1.252, 1.326, 1.414, 1.502, 1.59, 1.693, 1.795, 1.897,
    2.014, 2.145, 2.276, 2.407, 2.552, 2.711, 2.871, 3.045, 3.219, 3.422,
    3.624, 3.842, 4.072, 4.319, 4.564, 4.839, 5.128, 5.445, 5.764, 6.111,
    6.472, 6.864, 7.266, 7.697, 8.16, 8.634, 9.155, 9.704, 10.279, 10.884,
    11.538, 12.947, 14.54, 16.314, 18.32, 20.558, 23.081, 25.909, 29.085, 32.646,
    36.643, 41.137, 46.165, 51.839, 58.172, 65.28, 73.27, 82.534, 92.302,
};

const std::array<int, 31> kTemperatureRawLimits = {
    1123, 1184, 1260, 1336, 1412, 1503, 1594, 1685, 1792, 1883, 2004,
    2110, 2232, 2353, 2490, 2627, 2779, 2915, 3037, 3219, 3386, 3538,
    3705, 3872, 4054, 4221, 4404, 4556, 4753, 4859, 5118,
};

const std::array<const char*, 12> kCrossoverTypeNames = {
    "12db-Bworth", "12db-LR", "12db-Bessel", "18db-Bworth", "18db-LR", "18db-Bessel",
    "24db-Bworth", "24db-LR", "24db-Bessel", "48db-Bworth", "48db-LR", "48db-Bessel",
};

const std::array<const char*, 5> kBandTypeNames = {"PEQ", "LS6", "LS12", "HS6", "HS12"};

const std::array<const char*, 21> kLimiterThresholdNames = {
    "-20.0dB", "-19.0dB", "-18.0dB", "-17.0dB", "-16.0dB", "-15.0dB", "-14.0dB",
    "-13.0dB", "-12.0dB", "-11.0dB", "-10.0dB", "-9.0dB",  "-8.0dB",  "-7.0dB",
    "-6.0dB",  "-5.0dB",  "-4.0dB",  "-3.0dB",  "-2.0dB",  "-1.0dB",  "0dB",
};

const std::array<const char*, 6> kLimiterAttackNames = {"0.5ms", "1ms", "5ms", "10ms", "20ms", "50ms"};

const std::array<const char*, 8> kLimiterReleaseNames = {
    "300ms", "400ms", "600ms", "800ms", "1000ms", "1200ms", "2000ms", "3000ms",
};

const std::array<const char*, 31> kTemperatureThresholdNames = {
    "70'", "68'", "66'", "64'", "62'", "60'", "58'", "56'", "54'", "52'", "50'",
    "48'", "46'", "44'", "42'", "40'", "38'", "36'", "34'", "32'", "30'", "28'",
    "26'", "24'", "22'", "20'", "18'", "16'", "14'", "12'", "10'",
};

const std::array<const char*, 8> kPresetLabelPrefixes = {
    "Usr0", "Usr1", "Usr2", "Usr3", "Pre4", "Pre5", "Pre6", "Pre7",
};

namespace {

double lookup(std::span<const double> table, int code)
{
    return table[std::clamp<std::size_t>(code < 0 ? 0 : std::size_t(code), 0, table.size() - 1)];
}

} // namespace

double frequencyAt(int code) { return lookup(kFrequencyTable, code); }
double eqGainAt(int code) { return lookup(kEqGainTable, code); }
double qAt(int code) { return lookup(kQTable, code); }

int nearestCode(std::span<const double> table, double value)
{
    const std::size_t n = table.size();
    if (n == 0)
        return 0;
    // NaN or anything outside the table is clamped first, so the scan always ends.
    if (!(value >= table.front()))
        value = table.front();
    if (value > table.back())
        value = table.back();
    for (std::size_t i = 1; i < n; ++i) {
        if (value > table[i])
            continue;
        // Strictly nearer to the upper entry takes it; a tie goes to the lower code.
        return value - table[i - 1] > table[i] - value ? int(i) : int(i - 1);
    }
    return 0; // one-entry table
}

int nearestFrequencyCode(double hz) { return nearestCode(kFrequencyTable, hz); }
int nearestEqGainCode(double db) { return nearestCode(kEqGainTable, db); }
int nearestQCode(double q) { return nearestCode(kQTable, q); }

} // namespace talvex
