#pragma once
// The window's small pictures, drawn in code: the two connection icons, the
// three bridge routing icons and the ten band markers of the response graph.
// Each is drawn for a device pixel ratio (2 on a 200 % screen): the picture has
// the logical size times the ratio in pixels and carries the ratio, so it shows
// at its logical size with lines and text drawn at the screen's resolution.

#include <QPixmap>

namespace talvex::icons {

// Connection state for img_connectstate (also held by the hidden img_true and
// img_false): a green linked plug and a grey plug with a red cross. 32 x 32.
QPixmap connected(qreal ratio = 1.0);
QPixmap disconnected(qreal ratio = 1.0);

// Routing icons before the strip rows, 30 x 27: a plain right arrow (img_brg0),
// an arrow fed from above (img_brg1) and one fed from below (img_brg2).
enum class Bridge { Plain = 0, FromAbove = 1, FromBelow = 2 };
QPixmap bridge(Bridge kind, qreal ratio = 1.0);

// Band marker of band 0..9: ring in the band's colour and its number "1".."10"
// on the graph's background RGB(20, 20, 20). 20 x 20.
QPixmap bandMarker(int band, qreal ratio = 1.0);

} // namespace talvex::icons
