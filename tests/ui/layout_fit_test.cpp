// The layout as a user sees it: controls inside their boxes, no two visible
// controls on top of each other, and every design text wholly readable.

#include "support/layout.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

// Panels that lie over the groups on purpose while they are shown.
bool isFloating(const QWidget* w) {
    static const QStringList floating = {"grpbx_gain", "grpbx_delay", "grpbx_limit",
                                         "rzgrpbx_data_tx_bar", "rzgrpbx_searchID",
                                         "rzgrpbx_sch_result"};
    return floating.contains(w->objectName());
}

// The visible part of the central widget; beyond it lie the design's parked controls.
const QRect kVisible(0, 0, talvex::kClientWidth, talvex::kClientHeight - talvex::kMenuHeight);

QList<QWidget*> shownChildren(QWidget* parent) {
    QList<QWidget*> out;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isHidden() || w->objectName().startsWith("qt_") || w->isWindow())
            continue;
        if (parent->parentWidget() == nullptr || parent->objectName() == "centralWidget") {
            if (isFloating(w) || !kVisible.intersects(w->geometry()))
                continue;
        }
        out << w;
    }
    return out;
}

// Containers whose children are laid out by hand.
QList<QWidget*> containers(QWidget* central) {
    QList<QWidget*> out = {central};
    for (QGroupBox* g : central->findChildren<QGroupBox*>())
        out << g;
    out << central->findChild<QWidget*>("pnl1");
    return out;
}

} // namespace

TEST_F(LayoutTest, ControlsLieInsideTheirBoxes) {
    for (QWidget* parent : containers(central())) {
        if (parent == central())
            continue;
        for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->objectName().startsWith("qt_") || w->isWindow())
                continue;
            EXPECT_TRUE(parent->rect().contains(w->geometry()))
                << w->objectName().toStdString() << " outside " << parent->objectName().toStdString();
        }
    }
}

TEST_F(LayoutTest, NoVisibleControlsOverlap) {
    for (QWidget* parent : containers(central())) {
        const QList<QWidget*> kids = shownChildren(parent);
        for (int i = 0; i < kids.size(); ++i) {
            for (int j = i + 1; j < kids.size(); ++j) {
                QRect shared = kids[i]->geometry() & kids[j]->geometry();
                const QStringList pair = {kids[i]->objectName(), kids[j]->objectName()};
                // The design starts lbl28 on the input gain track bar's last column.
                if (pair.contains("lbl28") && pair.contains("rztrckbr_ingain") && shared.width() <= 1)
                    continue;
                EXPECT_TRUE(shared.isEmpty()) << pair.join(" / ").toStdString() << " in "
                                              << parent->objectName().toStdString();
            }
        }
    }
}

TEST_F(LayoutTest, ButtonCaptionsFitTheirButtons) {
    auto fits = [](QPushButton* b, const QString& caption) {
        const QFontMetrics fm(b->font());
        const QStringList lines = caption.split('\n');
        for (const QString& line : lines)
            EXPECT_LE(fm.horizontalAdvance(line) + 4, b->width()) << b->objectName().toStdString();
        EXPECT_LE(fm.height() * lines.size(), b->height()) << b->objectName().toStdString();
    };
    for (QPushButton* b : window().findChildren<QPushButton*>())
        fits(b, b->text());
    // Captions the buttons take while the program runs.
    fits(find<QPushButton>("btn_connect"), "Disconnect");
    fits(find<QPushButton>("btn_in0_pol"), "-");
}

TEST_F(LayoutTest, LabelTextsFitTheirLabels) {
    // Value labels must also hold the longest texts they will show.
    const std::pair<const char*, const char*> longest[] = {
        {"lbl28", "-59.8dB"}, {"albl1", "-59.8dB"}, {"albl2", "14.9864 ms"},
        {"lbl_temperature", "10 °C"}, {"lbl_temperature", ">=70"}, {"lbl_attenuation", "255 dB"},
        {"lbl_cur_ch", "Current : MAIN "}};
    for (const auto& [name, text] : longest) {
        auto* l = find<QLabel>(name);
        EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(QString::fromUtf8(text)), l->width())
            << name;
    }
    for (QLabel* l : window().findChildren<QLabel*>()) {
        if (l->text().isEmpty())
            continue;
        EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width())
            << l->objectName().toStdString();
    }
}

TEST_F(LayoutTest, ListItemsAndEditTextsAreReadable) {
    // Closed lists show the selected item in their edit field; the ones with fixed
    // design items must show each of them whole (preset lists grow names later
    // and open wider than the box).
    for (QComboBox* c : window().findChildren<QComboBox*>()) {
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = false;
        opt.frame = true;
        const QRect field =
            c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
        const QFontMetrics fm(c->font());
        for (int i = 0; i < c->count(); ++i)
            EXPECT_LE(fm.horizontalAdvance(c->itemText(i)), field.width())
                << c->objectName().toStdString() << " item " << c->itemText(i).toStdString();
    }
    const std::pair<const char*, const char*> edits[] = {
        {"edt_op3eq_freq_00", "21900.0"}, {"edt_op3eq_gain_00", "-23.8"},
        {"edt_op3eq_qval_00", "92.302"}, {"edt_op3hpf_freq", "21900.0"}, {"edt22", "250"}};
    for (const auto& [name, text] : edits) {
        auto* e = find<QLineEdit>(name);
        EXPECT_LE(QFontMetrics(e->font()).horizontalAdvance(QString::fromUtf8(text)) + 8, e->width())
            << name;
    }
}
