#pragma once
// The window's small pictures, drawn in code: the two connection icons, the
// three bridge routing icons and the ten band markers of the response graph.

#include <QPixmap>

namespace talvex::icons {

// Connection state for img_connectstate (also held by the hidden img_true and
// img_false): a green linked plug and a grey plug with a red cross. 32 x 32.
QPixmap connected();
QPixmap disconnected();

// Routing icons before the strip rows, 30 x 27: a plain right arrow (img_brg0),
// an arrow fed from above (img_brg1) and one fed from below (img_brg2).
enum class Bridge { Plain = 0, FromAbove = 1, FromBelow = 2 };
QPixmap bridge(Bridge kind);

// Band marker of band 0..9: ring in the band's colour and its number "1".."10"
// on the graph's background RGB(20, 20, 20). 20 x 20.
QPixmap bandMarker(int band);

} // namespace talvex::icons
