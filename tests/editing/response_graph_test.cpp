// The graph drawn without a window: background, markers and curve read back
// from the image, and the pointer rules (hit test, drag position to codes).

#include "editing/response_graph.h"
#include "model/parameter_model.h"

#include <QImage>

#include <cmath>

#include <gtest/gtest.h>

using namespace talvex;

namespace {

const QRgb kFill = qRgb(20, 20, 20);
const QRgb kFrame = qRgb(128, 128, 128);
const QRgb kGrid = qRgb(64, 64, 64);

struct GraphDrawing : ::testing::Test {
    static void SetUpTestSuite() { renderer = new ResponseGraphRenderer; }
    static void TearDownTestSuite() { delete renderer; }
    static inline ResponseGraphRenderer* renderer = nullptr;
    const QImage& bg() const { return renderer->background(); }
};

bool whiteIn(const QImage& image, QRect area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == qRgb(255, 255, 255))
                return true;
    return false;
}

} // namespace

TEST_F(GraphDrawing, BackgroundFrameAndGrids)
{
    ASSERT_EQ(bg().size(), QSize(720, 250));
    // Frame: columns 41 and 714, rows 17 and 226, corners included.
    for (int x = 41; x <= 714; ++x)
        ASSERT_EQ(std::pair(bg().pixel(x, 17), bg().pixel(x, 226)), std::pair(kFrame, kFrame)) << x;
    for (int y = 17; y <= 226; ++y)
        ASSERT_EQ(std::pair(bg().pixel(41, y), bg().pixel(714, y)), std::pair(kFrame, kFrame)) << y;
    for (QPoint outside : {QPoint(40, 100), QPoint(715, 100), QPoint(100, 16), QPoint(100, 227)})
        EXPECT_EQ(bg().pixel(outside), kFill) << outside.x() << ',' << outside.y();
    // Level grid rows, from column 42 up to the frame.
    for (int y : {40, 63, 87, 110, 133, 157, 180, 203})
        EXPECT_EQ(std::tuple(bg().pixel(42, y), bg().pixel(713, y), bg().pixel(714, y), bg().pixel(300, y - 1)),
                  std::tuple(kGrid, kGrid, kFrame, kFill)) << y;

    // Frequency grid: 20, 50, 100, 1000, 10000 Hz and the 20 kHz line, rows 18..225.
    for (int x : {101, 177, 236, 429, 622, 681})
        EXPECT_EQ(std::tuple(bg().pixel(x, 18), bg().pixel(x, 225), bg().pixel(x, 226), bg().pixel(x + 1, 120)),
                  std::tuple(kGrid, kGrid, kFrame, kFill)) << x;
    EXPECT_EQ(bg().pixel(430, 120), kFill); // the 1 kHz line sits one left of the 1 kHz curve column
}

TEST_F(GraphDrawing, LabelsSitAtTheirRows)
{
    // "+15dB" has its top at row 10, "-30dB" at row 219, nothing white above either; frequency
    // labels start at row 228, below the frame, the first at column 90; none reaches into the plot.
    for (const auto& [area, white] : {std::pair{QRect(4, 10, 36, 12), true}, {QRect(0, 0, 41, 10), false},
                                      {QRect(4, 219, 36, 12), true}, {QRect(0, 212, 41, 7), false},
                                      {QRect(90, 228, 25, 12), true}, {QRect(667, 228, 40, 12), true},
                                      {QRect(42, 227, 678, 1), false}, {QRect(42, 18, 672, 208), false}})
        EXPECT_EQ(whiteIn(bg(), area), white) << area.x() << ',' << area.y();
}

TEST_F(GraphDrawing, FlatChannelIsOneLineOnRow86)
{
    ChannelResponses responses; // all curves zero
    for (int c = 0; c < 4; ++c) {
        responses.channel(c).markers.fill({-100, -100}); // out of sight
        const QImage image = renderer->render(responses, c);
        const QRgb colour = curveColour(c).rgb();
        for (int x = 42; x <= 713; ++x) {
            ASSERT_EQ(image.pixel(x, 86), colour) << c << ' ' << x;
            ASSERT_TRUE(image.pixel(x, 85) != colour && image.pixel(x, 87) != colour) << c << ' ' << x;
        }
        EXPECT_EQ(std::pair(image.pixel(41, 86), image.pixel(714, 86)), std::pair(kFrame, kFrame));
    }
}

TEST_F(GraphDrawing, CurveBeyondTheImageIsClippedAndMarkersAreKeyed)
{
    ParameterModel model;
    model.writeDefaults();
    ChannelResponses responses;
    const ResponseGrid& grid = renderer->grid();
    // A steep high-pass at 1 kHz: far below the image at the low columns.
    model.image[8] = 136;
    model.image[9] = 10;
    responses.recomputeChannel(grid, model, 0);
    const QImage image = renderer->render(responses, 0);
    const QRgb blue = curveColour(0).rgb();
    for (int y = 0; y < 250; ++y)
        EXPECT_NE(image.pixel(60, y), blue) << y; // clipped, not drawn on the bottom row
    EXPECT_EQ(image.pixel(713, 86), blue);
    // Default band 0 sits at (99, 86): its ring shows, its background does not.
    const MarkerPosition m = responses.channel(0).markers[0];
    ASSERT_EQ(m, (MarkerPosition{99, 86}));
    EXPECT_EQ(image.pixel(m.x - 9, m.y - 9), renderer->background().pixel(m.x - 9, m.y - 9)); // keyed corner
    bool ring = false;
    for (int x = m.x - 10; x < m.x + 10; ++x)
        ring = ring || image.pixel(x, m.y - 8) == qRgb(161, 8, 8) || image.pixel(x, m.y - 9) == qRgb(161, 8, 8);
    EXPECT_TRUE(ring);
}

TEST(GraphPointer, HitRuleIsStrictAndLowestBandWins)
{
    std::array<MarkerPosition, kBandsPerChannel> markers{};
    for (int j = 0; j < kBandsPerChannel; ++j)
        markers[j] = {100 + 40 * j, 86};
    for (const auto& [x, y, band] : {std::tuple{100 + 9, 86 - 9, 0}, {100 - 9, 86 + 9, 0}, {100 + 10, 86, -1},
                                     {100, 86 - 10, -1}, {140 - 9, 86, 1}})
        EXPECT_EQ(hitBand(markers, x, y), band) << x << ',' << y;
    // Overlapping markers: the lower band number is taken, though the higher one is drawn on top.
    markers[7] = {105, 90};
    EXPECT_EQ(hitBand(markers, 108, 92), 0);
    EXPECT_EQ(hitBand(markers, 112, 92), 7);
}

TEST(GraphPointer, DragPositionsToCodes)
{
    const GraphGeometry g;
    auto codes = [&](int x, int y) {
        const DragCodes c = dragCodes(g, x, y);
        return std::make_pair(c.frequencyCode, c.gainCode);
    };
    // In the image and, while the button is held, outside it: left of it 19.7 Hz, above it +12 dB.
    for (const auto& [x, y, frequency, gain] :
         {std::tuple{430, 87, 136, 120}, {430, 86, 136, 121}, {0, 86, 0, 121}, {719, 86, 243, 121},
          {430, 0, 136, 180}, {430, 249, 136, 0}, {-500, -500, 0, 180}, {5000, 5000, 243, 0}})
        EXPECT_EQ(codes(x, y), std::make_pair(frequency, gain)) << x << ',' << y;
}

// --- at the screen's resolution -----------------------------------------------

// A flat curve; band 1's marker at (300, 120), the others out of sight.
static ChannelResponses flatWithOneMarker()
{
    ChannelResponses responses;
    for (int c = 0; c < 4; ++c) {
        responses.channel(c).markers.fill({-100, -100});
        responses.channel(c).markers[0] = {300, 120};
    }
    return responses;
}

TEST(GraphResolution, RatioTwoDrawsLinesTextAndMarkersRatherThanEnlargingThem)
{
    const QImage image = ResponseGraphRenderer(GraphGeometry{}, 2.0).render(flatWithOneMarker(), 1);
    ASSERT_EQ(image.size(), QSize(1440, 500));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    // Against the 100 % picture with each pixel repeated 2 x 2: several per cent differ, in labels and marker too.
    const QImage enlarged = ResponseGraphRenderer().render(flatWithOneMarker(), 1).scaled(1440, 500);
    for (const auto& [area, least] : {std::pair{QRect(0, 0, 720, 250), 6000}, {QRect(4, 10, 36, 12), 30},
                                      {QRect(667, 228, 40, 12), 30}, {QRect(290, 110, 20, 20), 60}}) {
        int differing = 0;
        for (int y = 2 * area.top(); y < 2 * (area.bottom() + 1); ++y)
            for (int x = 2 * area.left(); x < 2 * (area.right() + 1); ++x)
                differing += image.pixel(x, y) != enlarged.pixel(x, y);
        EXPECT_GE(differing, least) << area.x() << ',' << area.y();
    }

    // Lines one image pixel wide on their graph pixel's first image row or column:
    // frame row 17, grid row 40, 1 kHz column 429; the flat curve on row 86.67 x 2
    // from the first image column of column 42 to the last of column 713.
    const QRgb cyan = curveColour(1).rgb();
    for (const auto& [on, beside, colour] :
         {std::tuple{QPoint(600, 34), QPoint(600, 35), kFrame}, {QPoint(600, 80), QPoint(600, 81), kGrid},
          {QPoint(858, 240), QPoint(859, 240), kGrid}, {QPoint(84, 173), QPoint(84, 172), cyan},
          {QPoint(1427, 173), QPoint(1427, 172), cyan}}) {
        EXPECT_EQ(image.pixel(on), colour) << on.x() << ',' << on.y();
        EXPECT_EQ(image.pixel(beside), kFill) << beside.x() << ',' << beside.y();
    }
}

TEST(GraphResolution, FractionalRatiosLeaveTheBackgroundAroundWhatIsDrawnAndEachIsDrawnOnce)
{
    ResponseGraphRenderer renderer;
    const uchar* at100 = renderer.background().constBits();
    for (qreal ratio : {1.25, 1.5}) {
        renderer.setDevicePixelRatio(ratio);
        const QImage& background = renderer.background();
        EXPECT_EQ(background.size(), QSize(int(std::ceil(720 * ratio)), int(std::ceil(250 * ratio))));
        const QImage image = renderer.render(flatWithOneMarker(), 2);
        const QRect marker(int(290 * ratio), int(110 * ratio), int(20 * ratio) + 1, int(20 * ratio) + 1);
        int changed = 0; // beyond the marker's ring and number and the curve
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                changed += image.pixel(x, y) != background.pixel(x, y) &&
                           image.pixel(x, y) != curveColour(2).rgb() && !marker.contains(x, y);
        EXPECT_EQ(changed, 0) << ratio;
        EXPECT_EQ(image.pixel(marker.topLeft()), background.pixel(marker.topLeft())) << ratio; // keyed
    }
    renderer.setDevicePixelRatio(1.0);
    EXPECT_EQ(renderer.background().constBits(), at100); // kept, not drawn again
}
