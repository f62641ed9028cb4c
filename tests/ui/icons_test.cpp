// The drawn pictures: sizes, the mirrored bridge icons, band marker colours, and
// that the window's image boxes hold them.

#include "support/layout.h"

#include "ui/icons.h"

using namespace talvex::icons;

namespace {

// Whether a row of an image holds any non-transparent pixel.
bool rowHasInk(const QImage& img, int y) {
    for (int x = 0; x < img.width(); ++x)
        if (qAlpha(img.pixel(x, y)) > 64)
            return true;
    return false;
}

} // namespace

TEST(Icons, BridgeIconsAreArrowsFedFromTheirSide) {
    const QImage plain = bridge(Bridge::Plain).toImage();
    const QImage above = bridge(Bridge::FromAbove).toImage();
    const QImage below = bridge(Bridge::FromBelow).toImage();
    // The plain arrow touches neither edge; the fed ones reach theirs only. All three point right at the same
    // height: the arrow tip column.
    for (const auto& [img, top, bottom] : {std::tuple{&plain, false, false}, {&above, true, false},
                                           {&below, false, true}}) {
        EXPECT_EQ(img->size(), QSize(30, 27));
        EXPECT_EQ(rowHasInk(*img, 0), top);
        EXPECT_EQ(rowHasInk(*img, 26), bottom);
        EXPECT_GT(qAlpha(img->pixel(26, 13)), 64);
    }
    // Fed from below is fed from above turned upside down.
    const QImage flipped = above.mirrored(false, true).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(below.convertToFormat(QImage::Format_ARGB32), flipped);
}

TEST(Icons, ConnectionIconsDifferAndFitTheirBox) {
    const QImage up = connected().toImage();
    const QImage down = disconnected().toImage();
    EXPECT_EQ(up.size(), QSize(32, 32));
    EXPECT_EQ(down.size(), QSize(32, 32));
    EXPECT_NE(up, down);
    // Green for a live link, red for none, read at the disc's rim.
    EXPECT_GT(up.pixelColor(16, 3).green(), up.pixelColor(16, 3).red());
    EXPECT_GT(down.pixelColor(16, 3).red(), down.pixelColor(16, 3).green());
}

TEST(Icons, BandMarkersCarryRingColourAndNumber) {
    const QColor rings[10] = {{161, 8, 8},   {161, 84, 8}, {161, 161, 8},   {8, 161, 8}, {8, 161, 161},
                              {70, 96, 131}, {91, 8, 161}, {161, 161, 161}, {161, 8, 8}, {161, 84, 8}};
    for (int band = 0; band < 10; ++band) {
        const QImage m = bandMarker(band).toImage();
        ASSERT_EQ(m.size(), QSize(20, 20));
        // Corners in the graph's background, the transparent colour; the ring's left edge in the band's colour.
        EXPECT_EQ(m.pixelColor(0, 0), QColor(20, 20, 20)) << band;
        EXPECT_EQ(m.pixelColor(19, 19), QColor(20, 20, 20)) << band;
        EXPECT_EQ(m.pixelColor(1, 10).rgb(), rings[band].rgb()) << band;
    }
    EXPECT_NE(bandMarker(0).toImage(), bandMarker(8).toImage()); // same ring colour, told apart by their numbers
    EXPECT_EQ(bandMarker(12).toImage(), bandMarker(9).toImage()); // out of range: the nearest marker, no crash
}

TEST_F(LayoutTest, ImageBoxesHoldTheDrawnPictures) {
    const auto shows = [&](const QString& name) { return find<QLabel>(name)->pixmap().toImage(); };
    EXPECT_EQ(shows("img_true"), connected().toImage());
    EXPECT_EQ(shows("img_false"), disconnected().toImage());
    for (const auto& [name, kind] : {std::pair{"img_brg0", Bridge::Plain}, {"img_brg1", Bridge::FromAbove},
                                     {"img_brg2", Bridge::FromBelow}, {"img_row_main", Bridge::Plain},
                                     {"img2", Bridge::Plain}, {"img6", Bridge::Plain}, {"img_row_low", Bridge::Plain}})
        EXPECT_EQ(shows(name), bridge(kind).toImage()) << name;
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(shows(QStringLiteral("img_EQBmp%1").arg(j)), bandMarker(j).toImage()) << j;
}
