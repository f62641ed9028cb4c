#include "ui/layout_combo_style.h"

#include <QStyleOptionComplex>

namespace talvex::layout {

QRect CompactComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                        SubControl sub, const QWidget* widget) const {
    QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
    if (control != CC_ComboBox || !option)
        return r;
    const QRect box = option->rect;
    const int arrowLeft = box.right() - kArrowWidth + 1;
    if (sub == SC_ComboBoxArrow)
        return QRect(arrowLeft, box.top(), kArrowWidth, box.height());
    if (sub == SC_ComboBoxEditField) {
        const int right = arrowLeft - 2;
        const int left = box.left() + 3;
        return QRect(left, r.top(), right - left + 1, r.height());
    }
    return r;
}

int CompactComboStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
    if (hint == SH_ComboBox_Popup)
        return 0;
    // A list changes only on a deliberate pick: a wheel turn over a closed list
    // (often on the way to another control) leaves its item alone.
    if (hint == SH_ComboBox_AllowWheelScrolling)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QStyle* compactComboStyle(QObject* owner) {
    if (auto* existing = owner->findChild<CompactComboStyle*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    auto* style = new CompactComboStyle();
    style->setParent(owner);
    return style;
}

} // namespace talvex::layout
