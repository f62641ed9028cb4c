// The layout as a user sees it: controls inside their boxes, no two visible
// controls on top of each other, and every design text wholly readable.

#include "support/layout.h"

#include <QGroupBox>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

// The laid-out children of parent; with onlyShown, those a user sees while no panel floats over the groups.
QList<QWidget*> children(QWidget* parent, bool onlyShown) {
    static const QStringList floating = {"grpbx_gain", "grpbx_delay", "grpbx_limit", "rzgrpbx_data_tx_bar",
                                         "rzgrpbx_searchID", "rzgrpbx_sch_result"};
    const bool central = parent->parentWidget() == nullptr || parent->objectName() == "centralWidget";
    QList<QWidget*> out;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->objectName().startsWith("qt_") || w->isWindow() || (onlyShown && w->isHidden()))
            continue;
        if (onlyShown && central &&
            (floating.contains(w->objectName()) || !visibleArea().intersects(w->geometry())))
            continue;
        out << w;
    }
    return out;
}

// Containers whose children are laid out by hand.
QList<QWidget*> containers(QWidget* central) {
    QList<QWidget*> out = {central};
    for (QGroupBox* g : central->findChildren<QGroupBox*>())
        out << g;
    return out << central->findChild<QWidget*>("pnl1");
}

int advance(QWidget* w, const QString& text) { return QFontMetrics(w->font()).horizontalAdvance(text); }

// Each line of a caption, with 4 pixels to spare, fits the button's width, and all lines its height.
void expectFits(QWidget* w, const QString& text) {
    const QStringList lines = text.split('\n');
    for (const QString& line : lines)
        EXPECT_LE(advance(w, line) + 4, w->width()) << w->objectName().toStdString() << ": " << line.toStdString();
    EXPECT_LE(QFontMetrics(w->font()).height() * lines.size(), w->height()) << w->objectName().toStdString();
}

} // namespace

TEST_F(LayoutTest, ControlsLieInsideTheirBoxes) {
    for (QWidget* parent : containers(central()).mid(1))
        for (QWidget* w : children(parent, false))
            EXPECT_TRUE(parent->rect().contains(w->geometry()))
                << w->objectName().toStdString() << " outside " << parent->objectName().toStdString();
}

TEST_F(LayoutTest, NoVisibleControlsOverlap) {
    for (QWidget* parent : containers(central())) {
        const QList<QWidget*> kids = children(parent, true);
        for (int i = 0; i < kids.size(); ++i)
            for (int j = i + 1; j < kids.size(); ++j) {
                const QRect shared = kids[i]->geometry() & kids[j]->geometry();
                const QStringList pair = {kids[i]->objectName(), kids[j]->objectName()};
                // The design starts lbl28 on the input gain track bar's last column.
                if (pair.contains("lbl28") && pair.contains("rztrckbr_ingain") && shared.width() <= 1)
                    continue;
                EXPECT_TRUE(shared.isEmpty()) << pair.join(" / ").toStdString() << " in "
                                              << parent->objectName().toStdString();
            }
    }
}

TEST_F(LayoutTest, ButtonCaptionsFitTheirButtons) {
    for (QPushButton* b : window().findChildren<QPushButton*>())
        expectFits(b, b->text());
    // Captions the buttons take while the program runs.
    expectFits(find("btn_connect"), "Disconnect");
    expectFits(find("btn_in0_pol"), "-");
}

TEST_F(LayoutTest, LabelTextsFitTheirLabels) {
    // Value labels must also hold the longest texts they will show.
    const std::pair<const char*, const char*> longest[] = {
        {"lbl28", "-59.8dB"}, {"albl1", "-59.8dB"}, {"albl2", "14.9864 ms"}, {"lbl_temperature", "10 °C"},
        {"lbl_temperature", ">=70"}, {"lbl_attenuation", "255 dB"}, {"lbl_cur_ch", "Current : MAIN "}};
    for (const auto& [name, text] : longest)
        EXPECT_LE(advance(find<QLabel>(name), QString::fromUtf8(text)), find(name)->width()) << name;
    for (QLabel* l : window().findChildren<QLabel*>()) {
        if (!l->text().isEmpty())
            EXPECT_LE(advance(l, l->text()), l->width()) << l->objectName().toStdString();
    }
}

TEST_F(LayoutTest, ListItemsAndEditTextsAreReadable) {
    // Closed lists show the selected item in their edit field; the ones with fixed design items must show each
    // of them whole (preset lists grow names later and open wider than the box).
    for (QComboBox* c : window().findChildren<QComboBox*>()) {
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = false;
        opt.frame = true;
        const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
        for (int i = 0; i < c->count(); ++i)
            EXPECT_LE(advance(c, c->itemText(i)), field.width())
                << c->objectName().toStdString() << " item " << c->itemText(i).toStdString();
    }
    const std::pair<const char*, const char*> edits[] = {{"edt_op3eq_freq_00", "21900.0"},
                                                         {"edt_op3eq_gain_00", "-23.8"},
                                                         {"edt_op3eq_qval_00", "92.302"},
                                                         {"edt_op3hpf_freq", "21900.0"},
                                                         {"edt22", "250"}};
    for (const auto& [name, text] : edits)
        EXPECT_LE(advance(find<QLineEdit>(name), text) + 8, find(name)->width()) << name;
}
