// The drawn pictures: sizes, the mirrored bridge icons, band marker colours, and
// that the window's image boxes hold them.

#include "support/layout.h"

#include "ui/icons.h"

#include <QLabel>

using talvex::icons::Bridge;

namespace {

// Rows of an image that hold any non-transparent pixel.
bool rowHasInk(const QImage& img, int y) {
    for (int x = 0; x < img.width(); ++x)
        if (qAlpha(img.pixel(x, y)) > 64)
            return true;
    return false;
}

} // namespace

TEST(Icons, BridgeIconsAreArrowsFedFromTheirSide) {
    const QImage plain = talvex::icons::bridge(Bridge::Plain).toImage();
    const QImage above = talvex::icons::bridge(Bridge::FromAbove).toImage();
    const QImage below = talvex::icons::bridge(Bridge::FromBelow).toImage();
    for (const QImage* img : {&plain, &above, &below})
        EXPECT_EQ(img->size(), QSize(30, 27));

    // The plain arrow touches neither edge; the fed ones reach theirs only.
    EXPECT_FALSE(rowHasInk(plain, 0));
    EXPECT_FALSE(rowHasInk(plain, 26));
    EXPECT_TRUE(rowHasInk(above, 0));
    EXPECT_FALSE(rowHasInk(above, 26));
    EXPECT_TRUE(rowHasInk(below, 26));
    EXPECT_FALSE(rowHasInk(below, 0));
    // All three point right at the same height: the arrow tip column.
    for (const QImage* img : {&plain, &above, &below})
        EXPECT_GT(qAlpha(img->pixel(26, 13)), 64);
    // Fed from below is fed from above turned upside down.
    const QImage flipped = above.mirrored(false, true).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(below.convertToFormat(QImage::Format_ARGB32), flipped);
}

TEST(Icons, ConnectionIconsDifferAndFitTheirBox) {
    const QImage up = talvex::icons::connected().toImage();
    const QImage down = talvex::icons::disconnected().toImage();
    EXPECT_EQ(up.size(), QSize(32, 32));
    EXPECT_EQ(down.size(), QSize(32, 32));
    EXPECT_NE(up, down);
    // Green for a live link, red for none, read at the disc's rim.
    const QColor upRim = up.pixelColor(16, 3);
    const QColor downRim = down.pixelColor(16, 3);
    EXPECT_GT(upRim.green(), upRim.red());
    EXPECT_GT(downRim.red(), downRim.green());
}

TEST(Icons, BandMarkersCarryRingColourAndNumber) {
    const QColor rings[10] = {{161, 8, 8},   {161, 84, 8},  {161, 161, 8}, {8, 161, 8},
                              {8, 161, 161}, {70, 96, 131}, {91, 8, 161},  {161, 161, 161},
                              {161, 8, 8},   {161, 84, 8}};
    for (int band = 0; band < 10; ++band) {
        const QImage m = talvex::icons::bandMarker(band).toImage();
        ASSERT_EQ(m.size(), QSize(20, 20));
        // Corners are the graph's background, the transparent colour.
        EXPECT_EQ(m.pixelColor(0, 0), QColor(20, 20, 20)) << band;
        EXPECT_EQ(m.pixelColor(19, 19), QColor(20, 20, 20)) << band;
        // The ring's left edge, halfway down, is drawn in the band's colour.
        EXPECT_EQ(m.pixelColor(1, 10).rgb(), rings[band].rgb()) << band;
    }
    // Bands 1 and 9 share a ring colour; their numbers tell them apart.
    EXPECT_NE(talvex::icons::bandMarker(0).toImage(), talvex::icons::bandMarker(8).toImage());
    // Out-of-range band numbers give the nearest marker, never a crash.
    EXPECT_EQ(talvex::icons::bandMarker(12).toImage(), talvex::icons::bandMarker(9).toImage());
}

TEST_F(LayoutTest, ImageBoxesHoldTheDrawnPictures) {
    auto shows = [&](const char* name) { return find<QLabel>(name)->pixmap().toImage(); };
    EXPECT_EQ(shows("img_true"), talvex::icons::connected().toImage());
    EXPECT_EQ(shows("img_false"), talvex::icons::disconnected().toImage());
    EXPECT_EQ(shows("img_brg0"), talvex::icons::bridge(Bridge::Plain).toImage());
    EXPECT_EQ(shows("img_brg1"), talvex::icons::bridge(Bridge::FromAbove).toImage());
    EXPECT_EQ(shows("img_brg2"), talvex::icons::bridge(Bridge::FromBelow).toImage());
    for (const char* row : {"img_row_main", "img2", "img6", "img_row_low"})
        EXPECT_EQ(shows(row), talvex::icons::bridge(Bridge::Plain).toImage()) << row;
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(shows(qPrintable(QStringLiteral("img_EQBmp%1").arg(j))),
                  talvex::icons::bandMarker(j).toImage());
}
