#include "editing/response_graph.h"

#include "editing/edit_labels.h"
#include "editing/editing_context.h"
#include "editing/response_overlay.h"
#include "editing/parameter_editor.h"
#include "model/number_text.h"
#include "model/parameter_model.h"
#include "model/value_tables.h"
#include "response/crossover_response.h"
#include "ui/icons.h"
#include "ui/main_window_layout.h"
#include "ui/controls.h"
#include "ui/pixel_ratio.h"

#include <QAbstractButton>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace talvex {

namespace {

const QColor kGraphFill(20, 20, 20);
const QColor kFrameGrey(128, 128, 128);
const QColor kGridGrey(64, 64, 64);
const QColor kLabelWhite(255, 255, 255);

// Ratios beyond these would only make huge images; screens stay well inside.
qreal boundedRatio(qreal ratio)
{
    return std::isnan(ratio) ? 1.0 : std::clamp(ratio, 0.25, 8.0);
}

// The first image pixel of a graph pixel (its top or left one) at the ratio.
int imagePixel(int graphPixel, qreal ratio)
{
    return static_cast<int>(std::floor(graphPixel * ratio + 1e-9));
}

// Image pixels covering `graphPixels` at the ratio, the last partial one included.
int imageExtent(int graphPixels, qreal ratio)
{
    return static_cast<int>(std::ceil(graphPixels * ratio - 1e-9));
}

// An image row truncated toward zero, the way the graph rows are; values far
// outside the image are held where drawing clips them anyway.
int truncatedRow(double row)
{
    if (std::isnan(row))
        return 0;
    return static_cast<int>(std::clamp(row, -1e6, 1e6));
}

// One-pixel lines as rectangles, so every end pixel is exactly where it is said to be.
// The ends are inclusive graph pixels; at any ratio the line is one image pixel wide,
// on its graph pixel's first image row or column, and spans the whole of both end pixels.
void horizontal(QPainter& p, qreal ratio, int x0, int x1, int y, const QColor& colour)
{
    const int row = imagePixel(y, ratio);
    p.fillRect(QRect(QPoint(imagePixel(x0, ratio), row), QPoint(imagePixel(x1 + 1, ratio) - 1, row)), colour);
}

void vertical(QPainter& p, qreal ratio, int x, int y0, int y1, const QColor& colour)
{
    const int column = imagePixel(x, ratio);
    p.fillRect(QRect(QPoint(column, imagePixel(y0, ratio)), QPoint(column, imagePixel(y1 + 1, ratio) - 1)), colour);
}

// Text with its cell's top left corner at (x, top) on the graph's own fill.
void label(QPainter& p, int x, int top, const char* text)
{
    const QString s = QString::fromLatin1(text);
    const QFontMetrics metrics = p.fontMetrics();
    p.fillRect(QRect(x, top, metrics.horizontalAdvance(s), metrics.height()), kGraphFill);
    p.drawText(QPoint(x, top + metrics.ascent()), s);
}

// The marker drawn at the ratio, in image pixels (its own ratio taken off, as the
// redraw places it pixel by pixel).
QImage transparentMarker(int band, qreal ratio)
{
    // The marker's background colour is its transparent colour.
    QImage marker = icons::bandMarker(band, ratio).toImage().convertToFormat(QImage::Format_ARGB32);
    marker.setDevicePixelRatio(1.0);
    const QRgb key = kGraphFill.rgb();
    for (int y = 0; y < marker.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(marker.scanLine(y));
        for (int x = 0; x < marker.width(); ++x)
            if ((row[x] | 0xff000000u) == key)
                row[x] = 0;
    }
    return marker.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QColor curveColour(int channel)
{
    switch (channel) {
    case 1: return {0, 255, 255};
    case 2: return {255, 0, 255};
    case 3: return {255, 255, 0};
    default: return {46, 121, 255};
    }
}

int hitBand(const std::array<MarkerPosition, kBandsPerChannel>& markers, int x, int y)
{
    for (int j = 0; j < kBandsPerChannel; ++j) {
        const MarkerPosition& m = markers[j];
        if (m.x - 10 < x && x < m.x + 10 && m.y - 10 < y && y < m.y + 10)
            return j;
    }
    return -1;
}

DragCodes dragCodes(const GraphGeometry& geometry, int x, int y)
{
    double f = columnToFrequency(geometry, x);
    double v = rowToLevel(geometry, y);
    if (!(f >= kFrequencyTable.front()))
        f = kFrequencyTable.front();
    else if (f > kFrequencyTable.back())
        f = kFrequencyTable.back();
    if (!(v >= kEqGainTable.front()))
        v = kEqGainTable.front();
    else if (v > kEqGainTable.back())
        v = kEqGainTable.back();
    return {nearestFrequencyCode(f), nearestEqGainCode(v)};
}

// --- renderer ---------------------------------------------------------------

ResponseGraphRenderer::ResponseGraphRenderer(GraphGeometry geometry, qreal devicePixelRatio)
    : geometry_(geometry), grid_(geometry)
{
    resolutions_.push_back(drawResolution(geometry_, boundedRatio(devicePixelRatio)));
}

void ResponseGraphRenderer::setDevicePixelRatio(qreal ratio)
{
    ratio = boundedRatio(ratio);
    for (std::size_t i = 0; i < resolutions_.size(); ++i)
        if (qFuzzyCompare(resolutions_[i].ratio, ratio)) {
            current_ = i;
            return;
        }
    resolutions_.push_back(drawResolution(geometry_, ratio));
    current_ = resolutions_.size() - 1;
}

ResponseGraphRenderer::Resolution ResponseGraphRenderer::drawResolution(const GraphGeometry& geometry, qreal ratio)
{
    Resolution r;
    r.ratio = ratio;
    r.background = drawBackground(geometry.width, geometry.height, ratio);
    for (int j = 0; j < kBandsPerChannel; ++j)
        r.markers[j] = transparentMarker(j, ratio);
    return r;
}

QImage ResponseGraphRenderer::drawBackground(int width, int height, qreal devicePixelRatio)
{
    const int W = width;
    const int H = height;
    const qreal r = devicePixelRatio;
    QImage image(imageExtent(W, r), imageExtent(H, r), QImage::Format_RGB32);
    image.fill(kGraphFill);
    // Lines in image pixels first, then the labels in graph pixels at the ratio.
    QPainter p(&image);

    // Frame: columns 41 .. W - 6, rows 17 .. H - 24.
    horizontal(p, r, 41, W - 6, 17, kFrameGrey);
    horizontal(p, r, 41, W - 6, H - 24, kFrameGrey);
    vertical(p, r, 41, 17, H - 24, kFrameGrey);
    vertical(p, r, W - 6, 17, H - 24, kFrameGrey);

    // Level grid: eight rows inside the frame, each line stopping one short of the frame's right edge.
    std::array<int, 10> labelRows{};
    labelRows[0] = 17;
    for (int i = 1; i <= 8; ++i) {
        const int y = static_cast<int>((H - 40) / 9.0 * i) + 17;
        labelRows[i] = y;
        horizontal(p, r, 42, W - 7, y, kGridGrey);
    }
    labelRows[9] = H - 24;

    // Frequency grid. Its divisor is one less than the curve mapping's, so a grid
    // line sits up to one pixel left of a curve point of the same frequency.
    const int leftMargin = static_cast<int>((W - 46) * 0.09);
    const int rightMargin = static_cast<int>((W - 46) * 0.05);
    const auto gridColumn = [&](double f) {
        return static_cast<int>(std::log10(f / 20.0) * (W - 47 - leftMargin - rightMargin) / 3.0) + 41 + leftMargin;
    };
    std::vector<double> frequencies;
    for (double decade : {10.0, 100.0, 1000.0})
        for (int m = decade == 10.0 ? 2 : 1; m <= 9; ++m)
            frequencies.push_back(m * decade);
    frequencies.push_back(10000.0);
    for (double f : frequencies)
        vertical(p, r, gridColumn(f), 18, H - 25, kGridGrey);
    const int column20k = W - rightMargin - 6;
    vertical(p, r, column20k, 18, H - 25, kGridGrey);
    p.end();

    // Labels: Arial 8 (11 pixels at 96 dpi), white on the fill. At 100 % they are
    // drawn without smoothing, as the pixel-exact graph has always had them; finer
    // grids smooth their edges like the rest of the window's text.
    image.setDevicePixelRatio(r);
    p.begin(&image);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setStyleStrategy(r == 1.0 ? QFont::NoAntialias : QFont::PreferDefault);
    p.setFont(font);
    p.setPen(kLabelWhite);
    const char* levelLabels[10] = {"+15dB", "+10dB", " +5dB", "  0dB", " -5dB",
                                   "-10dB", "-15dB", "-20dB", "-25dB", "-30dB"};
    for (int i = 0; i < 10; ++i)
        label(p, 4, labelRows[i] + 1 - 8, levelLabels[i]);
    const int top = H - 22;
    label(p, gridColumn(20) - 11, top, "20Hz");
    label(p, gridColumn(50) - 11, top, "50Hz");
    label(p, gridColumn(100) - 14, top, "100Hz");
    label(p, gridColumn(200) - 14, top, "200Hz");
    label(p, gridColumn(500) - 14, top, "500Hz");
    label(p, gridColumn(1000) - 11, top, "1KHz");
    label(p, gridColumn(2000) - 11, top, "2KHz");
    label(p, gridColumn(5000) - 11, top, "5KHz");
    label(p, gridColumn(10000) - 14, top, "10KHz");
    label(p, column20k - 14, top, "20KHz");
    return image;
}

void ResponseGraphRenderer::drawMarkers(QPainter& painter, const ChannelCurves& curves) const
{
    // Band order: a later band covers an earlier one. Each marker's top left
    // corner sits on the first image pixel of its graph pixel.
    const Resolution& res = resolution();
    for (int j = 0; j < kBandsPerChannel; ++j)
        painter.drawImage(QPoint(imagePixel(curves.markers[j].x - 10, res.ratio),
                                 imagePixel(curves.markers[j].y - 10, res.ratio)),
                          res.markers[j]);
}

void ResponseGraphRenderer::drawResponseCurve(QImage& target, const ChannelResponses& responses, int channel) const
{
    const Resolution& res = resolution();
    const QImage& background = res.background;
    if (target.size() != background.size() || target.format() != background.format())
        target = QImage(background.size(), background.format());
    // Markers and curve go in image pixels; the ratio is set back on at the end.
    target.setDevicePixelRatio(1.0);
    std::memcpy(target.bits(), background.constBits(), std::size_t(background.sizeInBytes()));

    QPainter painter(&target);
    const ChannelCurves& curves = responses.channel(channel);
    drawMarkers(painter, curves);

    const int count = grid_.columnCount();
    if (count > 0) {
        ResponseCurve sum;
        responses.sum(grid_, channel, sum);
        // Each column's point at its first image column, on the image row of the
        // exact level: at 100 % exactly the truncated graph row, finer at higher ratios.
        const qreal r = res.ratio;
        std::vector<QPoint> points;
        points.reserve(std::size_t(count) + 1);
        for (int i = 0; i < count; ++i)
            points.emplace_back(imagePixel(ResponseGrid::columnAt(i), r),
                                truncatedRow(levelToExactRow(geometry_, sum[i]) * r));
        // The line runs to the last image pixel of the last column, as it does at 100 %.
        const QPoint end(imagePixel(ResponseGrid::columnAt(count - 1) + 1, r) - 1, points.back().y());
        if (end != points.back())
            points.push_back(end);
        // Pen one image pixel wide without smoothing; rows beyond the image are clipped, not limited.
        QPen pen(curveColour(channel), 1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawPolyline(points.data(), int(points.size()));
        if (overlays_ && channel >= 0 && channel < int(overlays_->size()))
            drawCurveOverlay(painter, grid_, r, (*overlays_)[std::size_t(channel)], sum, curves.highPass,
                             curves.lowPass);
    }
    painter.end();
    target.setDevicePixelRatio(res.ratio);
}

QImage ResponseGraphRenderer::render(const ChannelResponses& responses, int channel) const
{
    QImage image;
    drawResponseCurve(image, responses, channel);
    return image;
}

// --- the graph on the page -----------------------------------------------------

ResponseGraph::ResponseGraph(const EqPageView& view, ParameterEditor& editor, EditingContext& editing,
                             QObject* parent)
    : QObject(parent), model_(editor.model()), editor_(editor), editing_(editing),
      renderer_(GraphGeometry{}, view.responseGraph->devicePixelRatioF()), view_(view)
{
    // Until the first page selection the graph shows the grid alone, drawn at the
    // ratio of the screen the window is on.
    renderer_.setDevicePixelRatio(view_.responseGraph->devicePixelRatioF());
    image_ = renderer_.background().copy();
    view_.responseGraph->setPixmap(QPixmap::fromImage(image_));
    view_.responseGraph->installEventFilter(this);
    // Moved to a screen with another ratio, the graph is drawn again at that ratio.
    followPixelRatio(view_.responseGraph, [this](qreal ratio) { showAtRatio(ratio); });
}

void ResponseGraph::showAtRatio(qreal ratio)
{
    renderer_.setDevicePixelRatio(ratio);
    if (curveShown_)
        renderer_.drawResponseCurve(image_, responses_, lastChannel_);
    else
        image_ = renderer_.background().copy();
    view_.responseGraph->setPixmap(QPixmap::fromImage(image_));
}

void ResponseGraph::setOverlays(const ChannelOverlays* overlays)
{
    renderer_.setOverlays(overlays);
    if (curveShown_)
        drawCurve(lastChannel_);
}

void ResponseGraph::drawCurve(int channel)
{
    // Drawn into a new image: the label shares the one it shows, and drawing into
    // that one would first copy the whole of it (2.9 MB a step at 200 %).
    image_ = QImage();
    renderer_.drawResponseCurve(image_, responses_, channel);
    view_.responseGraph->setPixmap(QPixmap::fromImage(image_));
    curveShown_ = true;
    lastChannel_ = channel;
    for (QAbstractButton* button : view_.pageButtons)
        setButtonColour(button, kButtonGrey);
    if (channel >= 0 && channel < 4)
        setButtonColour(view_.pageButtons[std::size_t(channel)], kOpenYellow);
}

void ResponseGraph::recomputeChannel(int channel)
{
    responses_.recomputeChannel(renderer_.grid(), model_, channel);
}

void ResponseGraph::recomputeCrossover(int channel, int filter)
{
    if (channel < 0 || channel > 3)
        return;
    ChannelCurves& curves = responses_.channel(channel);
    const int record = crossoverRecord(channel);
    if (filter == 0)
        highPassResponse(renderer_.grid(), model_.image[record + kHpfFrequency], model_.image[record + kHpfType],
                         curves.highPass);
    else
        lowPassResponse(renderer_.grid(), model_.image[record + kLpfFrequency], model_.image[record + kLpfType],
                        curves.lowPass);
}

void ResponseGraph::recomputeBand(int channel, int band)
{
    if (channel < 0 || channel > 3 || band < 0 || band >= kBandsPerChannel)
        return;
    ChannelCurves& curves = responses_.channel(channel);
    bandResponse(renderer_.grid(), std::span<const int, 8>(model_.image.data() + bandRecord(channel, band), 8),
                 curves.markers[band], curves.bands[band]);
}

void ResponseGraph::pointerPressed(int x, int y)
{
    emit hidePopupsRequested();
    // A box being edited loses the focus and commits.
    view_.focusSink->setFocus();

    const int c = model_.pageChannel;
    const int j = hitBand(responses_.channel(c).markers, x, y);
    if (j < 0)
        return;
    editing_.bandNumber = j;
    editing_.targetField = editing_.targetRecord = bandRecord(c, j);
    // The wheel rests during a drag.
    editing_.unbind();
    drag_ = true;
    ++dragCount_;
    view_.bandFrequency[std::size_t(j)]->setFocus();
}

void ResponseGraph::pointerMoved(int x, int y)
{
    if (!drag_)
        return;
    const int c = model_.pageChannel;
    const int j = editing_.bandNumber;
    const int field = editing_.targetField;
    if (j < 0 || j >= kBandsPerChannel || field < 0 || field + 4 > kImageSize)
        return;
    const DragCodes codes = dragCodes(renderer_.geometry(), x, y);
    ParameterEdit edit(bandEditLabel(c, j), "marker:" + std::to_string(field) + "#" + std::to_string(dragCount_));
    if (codes.frequencyCode != model_.image[field])
        edit.set(field + kBandFrequency, codes.frequencyCode);
    if (codes.gainCode != model_.code16(field + kBandGain))
        edit.set16(field + kBandGain, codes.gainCode);
    // The band keeps its type and Q; movements within one table step cost nothing.
    if (!edit.entries.empty())
        editor_.apply(std::move(edit));
}

void ResponseGraph::pointerReleased(int, int)
{
    drag_ = false;
    const int j = editing_.bandNumber;
    if (j < 0 || j >= kBandsPerChannel)
        return;
    QLineEdit* q = view_.bandQ[std::size_t(j)];

    // The frequency box that held the focus through the drag hands it on without
    // committing or unbinding; once the focus has moved, it behaves as before.
    if (view_.bandFrequency[std::size_t(j)]->hasFocus())
        exitDetached_ = view_.bandFrequency[std::size_t(j)];
    q->setFocus();
    exitDetached_ = nullptr;
    q->selectAll();
    // The wheel now steps the dragged band's Q.
    emit qBoxTaken(j);
}

bool ResponseGraph::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_.responseGraph)
        return false;
    const auto at = [event] {
        const QPointF p = static_cast<QMouseEvent*>(event)->position();
        return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        pointerPressed(at().x(), at().y());
        return true;
    case QEvent::MouseMove:
        pointerMoved(at().x(), at().y());
        return true;
    case QEvent::MouseButtonRelease:
        pointerReleased(at().x(), at().y());
        return true;
    default:
        return false;
    }
}

} // namespace talvex
