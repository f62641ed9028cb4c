#pragma once
// Small factories the layout builder uses: each makes one control as a child of
// parent, names it and places it at its design rectangle.

#include "ui/pixel_ratio.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

class QComboBox;
class QGroupBox;
class QLabel;
class QPixmap;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QWidget;

namespace talvex::layout {

QGroupBox* box(QWidget* parent, const QString& name, int x, int y, int w, int h,
               const QString& title = {});
// A box that floats over other controls (pop-ups, panels): opaque, hidden.
QGroupBox* floatingBox(QWidget* parent, const QString& name, int x, int y, int w, int h);
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                    int w, int h = 23);
QComboBox* list(QWidget* parent, const QString& name, const QStringList& items, int x, int y, int w,
                int h = 21);
QLineEdit* edit(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
                int h = 21);
// A label sized to its text; w = 0 means as wide as the text.
QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y, int w = 0);
// A track bar over 0..maximum; a click on its groove or PageUp / PageDown moves pageStep.
QSlider* trackBar(QWidget* parent, const QString& name, int maximum, int pageStep, int x, int y, int w,
                  int h = 24);
QProgressBar* progressBar(QWidget* parent, const QString& name, int x, int y, int w, int h = 18);
// An image box holding pixmap, sized to it.
QLabel* image(QWidget* parent, const QString& name, const QPixmap& pixmap, int x, int y);
// An image box showing a drawn picture at the screen's ratio, sized to the picture.
QLabel* image(QWidget* parent, const QString& name, const Drawing& draw, int x, int y);

// The items of a drop-down list, from one of the value lists.
template <std::size_t N>
QStringList items(const std::array<const char*, N>& texts, const char* suffix = "")
{
    QStringList result;
    for (const char* text : texts)
        result << QString::fromLatin1(text) + QString::fromLatin1(suffix);
    return result;
}

} // namespace talvex::layout

namespace talvex {
struct EqPageView;
struct StripView;
} // namespace talvex

namespace talvex::layout {

// The two builders in their own files. The strip holds the equaliser's page buttons.
void buildStrip(QWidget* central, StripView& strip, EqPageView& page);
void buildEqualiserPage(QWidget* central, EqPageView& page);

} // namespace talvex::layout
