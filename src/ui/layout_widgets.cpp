#include "ui/layout_widgets.h"

#include "ui/layout_combo_style.h"
#include "ui/main_window_layout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

namespace talvex::layout {

namespace {

template <typename W>
W* place(W* widget, const QString& name, int x, int y, int w, int h) {
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

// Flat track with a light thumb, as the design's track bars look.
const char* kTrackBarStyle =
    "QSlider::groove:horizontal { height: 4px; margin: 0px 4px; background: rgb(51, 51, 51); }"
    "QSlider::handle:horizontal { width: 9px; margin: -7px 0; background: rgb(224, 224, 224);"
    " border: 1px solid rgb(90, 90, 90); border-radius: 1px; }";

} // namespace

QGroupBox* box(QWidget* parent, const QString& name, int x, int y, int w, int h,
               const QString& title) {
    return place(new QGroupBox(title, parent), name, x, y, w, h);
}

QGroupBox* floatingBox(QWidget* parent, const QString& name, int x, int y, int w, int h) {
    QGroupBox* b = box(parent, name, x, y, w, h);
    b->setAutoFillBackground(true);
    // A clear edge, so the panel reads as lying over the controls below it.
    b->setStyleSheet(QStringLiteral("QGroupBox#%1 { border: 1px solid rgb(110, 110, 110);"
                                    " border-radius: 2px; margin-top: 0px; background-color: palette(window); }")
                         .arg(name));
    b->hide();
    return b;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                    int w, int h) {
    auto* b = place(new QPushButton(caption, parent), name, x, y, w, h);
    b->setAutoDefault(false);
    setButtonColour(b, kButtonGrey);
    return b;
}

QComboBox* list(QWidget* parent, const QString& name, const QStringList& items, int x, int y, int w,
                int h) {
    auto* c = place(new QComboBox(parent), name, x, y, w, h);
    c->setEditable(false);
    c->setStyle(compactComboStyle(parent->window()));
    c->addItems(items);
    c->setMaxVisibleItems(20);
    // The drop-down shows whole items even where the closed list is narrow.
    c->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    c->setMinimumContentsLength(0);
    return c;
}

QLineEdit* edit(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
                int h) {
    auto* e = place(new QLineEdit(text, parent), name, x, y, w, h);
    // Values are typed or stepped, never dropped in: a stray drag of text must not
    // fill a box that commits to the amplifier on the next focus change.
    e->setAcceptDrops(false);
    return e;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    if (w > 0)
        l->resize(w, l->height());
    return l;
}

QSlider* trackBar(QWidget* parent, const QString& name, int maximum, int pageStep, int x, int y, int w,
                  int h) {
    auto* s = place(new QSlider(Qt::Horizontal, parent), name, x, y, w, h);
    s->setRange(0, maximum);
    s->setSingleStep(1);
    s->setPageStep(pageStep);
    s->setStyleSheet(kTrackBarStyle);
    return s;
}

QProgressBar* progressBar(QWidget* parent, const QString& name, int x, int y, int w, int h) {
    auto* p = place(new QProgressBar(parent), name, x, y, w, h);
    p->setRange(0, 100);
    p->setValue(0);
    return p;
}

QLabel* image(QWidget* parent, const QString& name, const QPixmap& pixmap, int x, int y) {
    auto* l = place(new QLabel(parent), name, x, y, pixmap.width(), pixmap.height());
    // Anchored at the top left corner, so a picture whose pixel size is not a whole
    // number of logical pixels at a fractional ratio is never shifted by a fraction.
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setPixmap(pixmap);
    return l;
}

QLabel* image(QWidget* parent, const QString& name, const Drawing& draw, int x, int y) {
    QLabel* l = image(parent, name, draw(1.0), x, y); // sized by the 100 % picture
    showDrawn(l, draw);
    return l;
}

} // namespace talvex::layout
