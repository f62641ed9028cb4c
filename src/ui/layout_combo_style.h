#pragma once
// A drop-down list look with a narrow arrow button, so that short lists (band
// types, temperature steps) show their whole item text in a 49-pixel box.

#include <QProxyStyle>

namespace talvex::layout {

class CompactComboStyle : public QProxyStyle {
public:
    static constexpr int kArrowWidth = 13;
    using QProxyStyle::QProxyStyle;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl sub, const QWidget* widget = nullptr) const override;
    // The lists drop down below their box and scroll beyond their maximum of
    // visible items, rather than opening as a menu as tall as every item; the
    // wheel never changes a closed list's item.
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

// The instance owned by owner, made on first use.
QStyle* compactComboStyle(QObject* owner);

} // namespace talvex::layout
