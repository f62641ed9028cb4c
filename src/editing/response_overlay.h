#pragma once
// Draws a channel's overlay curves onto its response graph: the measurement in
// grey, the prediction (measurement + the channel's curve) in white, the target
// dashed in orange (shaped by the channel's crossovers, as the match wants it)
// and a proposed result dotted in green. Painter in image
// pixels at `ratio` image pixels per graph pixel; columns without a value break
// the line.

#include "response/curve_overlay.h"
#include "response/response_grid.h"

#include <QColor>

class QPainter;

namespace talvex {

inline const QColor kMeasuredColour{150, 150, 150};
inline const QColor kPredictedColour{255, 255, 255};
inline const QColor kTargetColour{255, 165, 0};
inline const QColor kProposalColour{0, 230, 0};

void drawCurveOverlay(QPainter& painter, const ResponseGrid& grid, qreal ratio, const CurveOverlay& overlay,
                      const ResponseCurve& channelCurve, const ResponseCurve& highPass, const ResponseCurve& lowPass);

} // namespace talvex
