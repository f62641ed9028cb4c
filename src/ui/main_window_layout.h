#pragma once
// The main window's controls, built once at start-up.
//
// buildMainWindowLayout() gives the window a central widget and creates every
// control of the design inside it, each with objectName = its component name
// (btn_connect, grp2, rztrckbr_ingain, img_EQBmp3, ...), at its design position,
// with its caption, items, colours and enabled/visible state. It also sets the
// caption, the fixed size, the empty "File", "Edit" and "View" menus (menuFile,
// menuEdit, menuView) that features fill, and the "Bridge Config" menu (QActions
// NoBTL1, Lowmidbridge1, highmidbridge1, LowmidBTLhighlow1, checkable, none checked).
// The builder wires no behaviour: it returns each feature's controls as a typed
// struct (ui/views.h), and the window hands each feature its own.
//
// Widget kinds: buttons QPushButton, lists QComboBox (not editable), edit boxes
// QLineEdit, track bars QSlider (horizontal), group boxes and panels QGroupBox,
// labels and image boxes QLabel (image boxes hold a QPixmap), progress bars
// QProgressBar, hidden list boxes QListWidget, memos QPlainTextEdit.
//
// Positions: children of a group box are placed in that box's coordinates; the
// pop-ups (grpbx_gain, grpbx_delay, grpbx_limit), the progress panel
// (rzgrpbx_data_tx_bar), the search panel (rzgrpbx_searchID) and the result panel
// (rzgrpbx_sch_result) are children of the central widget, so they are moved in
// window client coordinates. The strip buttons are direct children of grp2.
//
// Button colours: every button carries its face colour in a per-widget style
// sheet. Change it only through setButtonColour(); read it back with
// buttonColour(). Captions are changed with setText() as usual.

#include "ui/views.h"

#include <QColor>

class QAbstractButton;
class QMainWindow;

namespace talvex {

// Design colours of the window.
inline const QColor kButtonGrey{224, 224, 224};      // strip and panel buttons
inline const QColor kButtonFace{240, 240, 240};      // the system's button face
inline const QColor kStateRed{255, 0, 0};            // on, muted, not connected
inline const QColor kOpenYellow{255, 255, 0};        // pop-up or page open
inline const QColor kConnectedGreen{0, 128, 0};      // connected, broadcast on
inline const QColor kHotTrack{255, 255, 128};        // face under the mouse

// Client area of the window: outer 747 x 735 less a 4-pixel fixed border on each
// side and a 23-pixel title bar. The menu bar is kMenuHeight high; the central
// widget fills the rest.
constexpr int kClientWidth = 739;
constexpr int kClientHeight = 704;
constexpr int kMenuHeight = 20;

// Builds the whole layout into window (which must not have a central widget yet)
// and returns its controls, feature by feature.
MainWindowViews buildMainWindowLayout(QMainWindow& window);

// What broadcast mode keeps the user from besides the administration's own
// controls: the preset load, the search and the group files that read or write
// one device's system record (loading one group from a file stays).
void showBroadcastLock(const MainWindowViews& views, bool on);
// What a running search keeps the user from: the strip and the equaliser page,
// and with `connectionToo` the connection group. Both false unlocks all three.
void showSearchLock(const MainWindowViews& views, bool editing, bool connectionToo);

// Sets a button's face colour; the caption turns white on dark faces so it stays
// readable. The hot-track colour still shows under the mouse.
void setButtonColour(QAbstractButton* button, const QColor& colour);
// The face colour last set by setButtonColour().
QColor buttonColour(const QAbstractButton* button);

} // namespace talvex
