#pragma once
// The response graph of the equaliser page (img_eqbackground, 720 x 250).
//
// ResponseGraphRenderer draws without any widget: the background (grid, frame,
// labels) once, then per redraw the background copy, the ten band markers and
// the channel's summed curve into a QImage. It needs a QGuiApplication for its
// fonts and marker images, nothing else (the installer tools render PNGs with it).
// It draws at a device pixel ratio: at 2 (a 200 % screen) the image has 1440 x 500
// pixels, carries the ratio and is drawn in the same 720 x 250 graph coordinates,
// with one-pixel lines one image pixel wide and text and markers at the finer
// resolution. Every pointer rule stays in graph pixels.
//
// ResponseGraph is the page's glue: it owns the channel curves, shows the image
// in img_eqbackground, colours the four page buttons, recomputes the curves the
// equaliser page asks for after an edit, and turns press, move and release on
// the image into marker drags, which it hands to the edit path.

#include "response/channel_responses.h"
#include "response/curve_overlay.h"
#include "response/graph_geometry.h"
#include "response/response_grid.h"
#include "ui/views.h"

#include <QColor>
#include <QImage>
#include <QObject>

#include <array>
#include <cstddef>
#include <deque>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPainter;

namespace talvex {

class EditingContext;
class ParameterEditor;
struct ParameterModel;

// Curve colour of channel 0 Main, 1 High, 2 Mid, 3 Low.
QColor curveColour(int channel);

// Band whose marker (20 x 20, centred on its position) contains (x, y) strictly,
// the lowest band number first; -1 when none does.
int hitBand(const std::array<MarkerPosition, kBandsPerChannel>& markers, int x, int y);

// Frequency and EQ gain codes of a pointer position in image pixels; positions
// beyond the graph clamp to 19.7 .. 21900 Hz and -24 .. +12 dB.
struct DragCodes {
    int frequencyCode = 0;
    int gainCode = 0;
};
DragCodes dragCodes(const GraphGeometry& geometry, int x, int y);

class ResponseGraphRenderer {
public:
    explicit ResponseGraphRenderer(GraphGeometry geometry = {}, qreal devicePixelRatio = 1.0);

    const GraphGeometry& geometry() const { return geometry_; }
    const ResponseGrid& grid() const { return grid_; }
    // The background at the current ratio. Each ratio's background is drawn the
    // first time the ratio is chosen and kept; it is never drawn again.
    const QImage& background() const { return resolution().background; }

    // Image pixels per graph pixel of everything drawn from now on.
    qreal devicePixelRatio() const { return resolution().ratio; }
    void setDevicePixelRatio(qreal ratio);

    // Fill, frame, level and frequency grids and labels for a width x height graph,
    // width x ratio by height x ratio pixels carrying the ratio.
    static QImage drawBackground(int width, int height, qreal devicePixelRatio = 1.0);

    // The whole graph of `channel` into `target` (resized to the geometry when it
    // is not): background copy, markers, then the summed curve.
    void drawResponseCurve(QImage& target, const ChannelResponses& responses, int channel) const;
    QImage render(const ChannelResponses& responses, int channel) const;

    // Curves drawn over each channel's own (measurement, prediction, target,
    // proposal); null draws none. Not owned; must outlive its use.
    void setOverlays(const ChannelOverlays* overlays) { overlays_ = overlays; }

private:
    // What is drawn once for a ratio: the background and the ten keyed markers.
    struct Resolution {
        qreal ratio = 1.0;
        QImage background;
        std::array<QImage, kBandsPerChannel> markers;
    };
    static Resolution drawResolution(const GraphGeometry& geometry, qreal ratio);
    const Resolution& resolution() const { return resolutions_[current_]; }

    // Paints in image pixels.
    void drawMarkers(QPainter& painter, const ChannelCurves& curves) const;

    GraphGeometry geometry_;
    ResponseGrid grid_;
    std::deque<Resolution> resolutions_; // a deque keeps background() references valid
    std::size_t current_ = 0;
    const ChannelOverlays* overlays_ = nullptr;
};

class ResponseGraph : public QObject {
    Q_OBJECT
public:
    // Draws the background into the page's graph and shows it. A marker drag
    // reaches the image through `editor`.
    ResponseGraph(const EqPageView& view, ParameterEditor& editor, EditingContext& editing, QObject* parent = nullptr);

    const ResponseGraphRenderer& renderer() const { return renderer_; }
    ChannelResponses& responses() { return responses_; }
    const QImage& responseCurveImage() const { return image_; }
    int lastDrawnChannel() const { return lastChannel_; }

    // Drag flag: set by a press on a marker, cleared by the next release.
    bool dragging() const { return drag_; }
    void resetDrag() { drag_ = false; }
    // True while the release after a drag moves the focus away from the dragged
    // band's frequency box: that one focus loss must neither commit nor unbind.
    bool exitDetached(const QObject* box) const { return box && box == exitDetached_; }

    // Redraw without marking.
    void drawCurve(int channel);
    // Both crossovers and all ten bands of a channel from the image, without marking.
    void recomputeChannel(int channel);
    // One crossover filter (0 = high-pass, otherwise low-pass) or one band of a
    // channel from the image; nothing is drawn or marked (the edit path marked).
    void recomputeCrossover(int channel, int filter);
    void recomputeBand(int channel, int band);
    // Overlay curves to draw over the channels' own; the graph is drawn again.
    void setOverlays(const ChannelOverlays* overlays);

    // Pointer handlers, positions in image pixels: press on a marker starts a
    // drag, a move drags the band, the release hands the focus to the band's Q
    // box (qBoxTaken binds the wheel to it).
    void pointerPressed(int x, int y);
    void pointerMoved(int x, int y);
    void pointerReleased(int x, int y);

signals:
    void hidePopupsRequested();
    // A drag has ended and the band's Q box holds the focus: the page binds it.
    void qBoxTaken(int band);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The graph drawn again at the ratio of the screen it is now shown on.
    void showAtRatio(qreal ratio);

    ParameterModel& model_;
    ParameterEditor& editor_;
    EditingContext& editing_;
    ResponseGraphRenderer renderer_;
    ChannelResponses responses_;
    QImage image_;
    bool curveShown_ = false; // false while the graph shows the grid alone
    int lastChannel_ = 0;
    bool drag_ = false;
    int dragCount_ = 0; // one drag, one merge key
    const QObject* exitDetached_ = nullptr;

    EqPageView view_;
};

} // namespace talvex
