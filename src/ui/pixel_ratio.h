#pragma once
// Following the device pixel ratio of the screen a widget is shown on, so that
// pictures are drawn at the screen's own resolution (2 device pixels per
// logical pixel at 200 %, 1.5 at 150 %) rather than enlarged from 100 %.

#include <QPixmap>

#include <functional>

class QLabel;
class QWidget;

namespace talvex {

// Calls `changed` with the widget's new ratio whenever the ratio it is shown at
// differs from the last one seen (at first: the ratio at the time of this call).
// That happens when the widget is shown on, or its window moves to, a screen
// with another ratio. The watch ends with the widget.
void followPixelRatio(QWidget* widget, std::function<void(qreal)> changed);

// A picture drawn for a given device pixel ratio, with that ratio set on it.
using Drawing = std::function<QPixmap(qreal ratio)>;

// Shows draw(ratio) in the label at the label's own ratio, now and whenever the
// ratio changes. Showing another drawing in the same label replaces the first.
void showDrawn(QLabel* label, Drawing draw);

} // namespace talvex
