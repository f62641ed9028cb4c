#include "editing/response_overlay.h"

#include <QPainter>
#include <QPen>
#include <QPointF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace talvex {

namespace {

// One polyline per run of columns with a value; `level(i)` is NaN where there is none.
template <typename Level>
void drawRuns(QPainter& painter, const ResponseGrid& grid, qreal ratio, Level level)
{
    std::vector<QPointF> run;
    auto flush = [&] {
        if (run.size() > 1)
            painter.drawPolyline(run.data(), int(run.size()));
        run.clear();
    };
    for (int i = 0; i < grid.columnCount(); ++i) {
        const double v = level(i);
        if (std::isnan(v)) {
            flush();
            continue;
        }
        const double row = std::clamp(levelToExactRow(grid.geometry(), v), -1e4, 1e4);
        run.emplace_back((ResponseGrid::columnAt(i) + 0.5) * ratio, row * ratio);
    }
    flush();
}

QPen pen(const QColor& colour, Qt::PenStyle style)
{
    QPen p(colour, 1, style);
    p.setCosmetic(true);
    return p;
}

double at(const std::vector<double>& curve, int i)
{
    return i < int(curve.size()) ? curve[std::size_t(i)] : std::nan("");
}

} // namespace

void drawCurveOverlay(QPainter& painter, const ResponseGrid& grid, qreal ratio, const CurveOverlay& overlay,
                      const ResponseCurve& channelCurve, const ResponseCurve& highPass, const ResponseCurve& lowPass)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!overlay.target.empty()) {
        painter.setPen(pen(kTargetColour, Qt::DashLine));
        drawRuns(painter, grid, ratio, [&](int i) {
            return at(overlay.target, i) + highPass[std::size_t(i)] + lowPass[std::size_t(i)];
        });
    }
    if (!overlay.measured.empty()) {
        painter.setPen(pen(kMeasuredColour, Qt::SolidLine));
        drawRuns(painter, grid, ratio, [&](int i) { return at(overlay.measured, i); });
        painter.setPen(pen(kPredictedColour, Qt::SolidLine));
        drawRuns(painter, grid, ratio, [&](int i) { return at(overlay.measured, i) + channelCurve[std::size_t(i)]; });
    }
    if (!overlay.proposal.empty()) {
        painter.setPen(pen(kProposalColour, Qt::DotLine));
        drawRuns(painter, grid, ratio, [&](int i) { return at(overlay.proposal, i); });
    }
    painter.restore();
}

} // namespace talvex
