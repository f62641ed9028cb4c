#pragma once
// Size of the response graph and the pixel mappings every curve, marker and drag uses.

namespace talvex {

struct GraphGeometry {
    int width = 720;
    int height = 250;

    int leftMargin() const { return static_cast<int>((width - 46) * 0.09); }
    int rightMargin() const { return static_cast<int>((width - 46) * 0.05); }
    // Pixels spanned by the three decades 20 Hz .. 20 kHz (581 for 720 pixels).
    int decadeSpan() const { return width - 46 - leftMargin() - rightMargin(); }

    // Evaluation columns are 42 .. width - 7; none when width - 7 is below 42.
    static constexpr int kFirstColumn = 42;
    int lastColumn() const { return width - 7; }
};

// Column of a frequency (truncated toward zero) and its inverse, the column's frequency.
int frequencyToColumn(const GraphGeometry& g, double hz);
double columnToFrequency(const GraphGeometry& g, double column);

// Row of a curve level in dB-like units (+15 at the top, -30 at the bottom) and its inverse.
int levelToRow(const GraphGeometry& g, double level);
// The same row before truncation, for drawing finer than one graph pixel.
double levelToExactRow(const GraphGeometry& g, double level);
double rowToLevel(const GraphGeometry& g, double row);

} // namespace talvex
