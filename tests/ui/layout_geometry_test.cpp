// Positions and sizes of the main controls as the design places them, and the layout as a user sees it:
// controls inside their boxes, no two visible controls on top of each other, every design text wholly readable.

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
    for (QLabel* l : window().findChildren<QLabel*>()) // an empty text takes no room
        EXPECT_LE(advance(l, l->text()), l->width()) << l->objectName().toStdString();
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

TEST_F(LayoutTest, WindowHasFixedSizeCaptionAndRoomForEveryGroup) {
    EXPECT_EQ(window().windowTitle(), "Talvex-96K V3.8.0 U");
    EXPECT_EQ(window().minimumSize(), window().maximumSize());
    EXPECT_EQ(window().size(), QSize(talvex::kClientWidth, talvex::kClientHeight));
    // The outer 747 x 735 less a 4-pixel border and a 23-pixel title bar.
    EXPECT_EQ(talvex::kClientWidth + 2 * 4, 747);
    EXPECT_EQ(talvex::kClientHeight + 4 + 23 + 4, 735);

    window().show();
    EXPECT_EQ(central()->size(), QSize(talvex::kClientWidth, talvex::kClientHeight - talvex::kMenuHeight));
    for (const char* group : {"grp1", "grp2", "grp3", "rzgrpbx5"})
        EXPECT_TRUE(central()->rect().contains(rect(group))) << group;
    window().hide();
}

TEST_F(LayoutTest, GroupsSitAtTheirDesignRectangles) {
    expectPlaced({{"grp1", "centralWidget", {7, 2, 600, 95}},
                  {"grp2", "centralWidget", {7, 98, 600, 132}},
                  {"grp3", "centralWidget", {611, 2, 122, 228}},
                  {"rzgrpbx5", "centralWidget", {7, 232, 727, 445}},
                  {"rzgrpbx6", "rzgrpbx5", {3, 8, 720, 169}},
                  {"grp4", "rzgrpbx6", {547, 24, 166, 115}},
                  {"img_eqbackground", "pnl1", {0, 3, 720, 250}}});
    EXPECT_EQ(rect("lbl_cur_ch").topLeft(), QPoint(293, 8));
    // The graph panel lies below the band area and inside the page.
    EXPECT_GE(rect("pnl1").top(), rect("rzgrpbx6").bottom());
    EXPECT_TRUE(find("rzgrpbx5")->rect().contains(rect("pnl1")));
}

TEST_F(LayoutTest, StripButtonsFollowTheRowTable) {
    const std::tuple<const char*, int, int> outputs[] = {{"mute", 112, 42}, {"gain", 160, 61}, {"eq", 228, 113},
                                                         {"lim", 349, 57},  {"delay", 413, 49}, {"pol", 469, 42}};
    const int rowTop[3] = {41, 73, 105};
    for (int k = 0; k < 3; ++k)
        for (const auto& [suffix, left, width] : outputs)
            expectPlaced({{QStringLiteral("btn_op%1_%2").arg(k).arg(suffix), "grp2", {left, rowTop[k], width, 23}}});
    expectPlaced({{"btn_in0_eq", "grp2", {112, 9, 61, 23}},
                  {"btn_in0_delay", "grp2", {189, 9, 76, 23}},
                  {"btn_in0_pol", "grp2", {277, 9, 42, 23}},
                  {"btn_op2_bassp", "grp2", {518, 105, 74, 23}}});

    EXPECT_EQ(std::tuple(rect("lbl_volume").left(), rect("rztrckbr_ingain").left(), rect("lbl28").left(),
                         rect("rztrckbr_ingain").width()), std::tuple(337, 384, 544, 161));
    auto* gain = slider("rztrckbr_ingain");
    EXPECT_EQ(gain->orientation(), Qt::Horizontal);
    EXPECT_EQ(std::tuple(gain->minimum(), gain->maximum(), gain->value()), std::tuple(0, 300, 300));
}

TEST_F(LayoutTest, RoutingIconsStandBeforeTheirRows) {
    for (const auto& [icon, first] : {std::pair{"img_row_main", "btn_in0_eq"}, {"img2", "btn_op0_mute"},
                                      {"img6", "btn_op1_mute"}, {"img_row_low", "btn_op2_mute"}}) {
        EXPECT_EQ(parentName(icon), "grp2");
        EXPECT_EQ(rect(icon).size(), QSize(30, 27)) << icon;
        EXPECT_LT(rect(icon).right(), rect(first).left()) << icon;
        EXPECT_EQ(rect(icon).center().y(), rect(first).center().y()) << icon;
    }
}

TEST_F(LayoutTest, EqualiserColumnsAndCrossoverBoxes) {
    for (int j = 0; j < 10; ++j) {
        for (const auto& [prefix, top] : {std::pair{"edt_op3eq_freq_0", 47}, {"edt_op3eq_gain_0", 71},
                                          {"cbb_op3eq_type_0", 95}, {"edt_op3eq_qval_0", 119}}) {
            const QString name = prefix + QString::number(j);
            EXPECT_EQ(rect(name).topLeft(), QPoint(34 + 51 * j, top)) << name.toStdString();
            EXPECT_EQ(rect(name).width(), 49) << name.toStdString();
            EXPECT_EQ(parentName(name), "rzgrpbx6");
        }
        EXPECT_EQ(rect(QStringLiteral("lbl_eq_head_%1").arg(j)).topLeft(), QPoint(34 + 51 * j, 32));
    }
    for (const auto& [name, top] : {std::pair{"edt_op3hpf_freq", 16}, {"cbb_op3hpf_type", 40},
                                    {"edt_op3lpf_freq", 64}, {"cbb_op3lpf_type", 88}}) {
        EXPECT_EQ(rect(name).top(), top) << name;
        EXPECT_EQ(rect(name).width(), 121) << name;
        EXPECT_EQ(parentName(name), "grp4");
    }
}

TEST_F(LayoutTest, PopupsHaveTheirSizesAndInnerPlaces) {
    for (const auto& [popup, height] : {std::pair{"grpbx_gain", 65}, {"grpbx_delay", 65}, {"grpbx_limit", 132}}) {
        EXPECT_EQ(rect(popup).size(), QSize(217, height)) << popup;
        EXPECT_EQ(parentName(popup), "centralWidget") << popup;
    }

    EXPECT_EQ(rect("grpbx_gain_caption").topLeft(), QPoint(11, 16));
    EXPECT_EQ(rect("albl1").topLeft(), QPoint(56, 16));
    for (const auto& [bar, maximum] : {std::pair{"rztrckbr_gain", 325}, {"rztrckbr_delay", 1440}})
        EXPECT_EQ(std::tuple(rect(bar).x(), rect(bar).y(), slider(bar)->maximum()), std::tuple(8, 35, maximum)) << bar;
    EXPECT_EQ(rect("rztrckbr_gain").width(), 201);
    for (const char* close : {"btn_grpbx_gain_close", "btn2", "btn3"})
        EXPECT_EQ(rect(close), QRect(192, 8, 19, 17)) << close;

    for (const auto& [lbl, combo, labelTop, comboTop] :
         {std::tuple{"lbl_lim_thr", "cbb_lim_thr", 35, 32}, {"lbl_lim_att", "cbb_lim_att", 68, 64},
          {"lbl_lim_rel", "cbb_lim_rel", 100, 96}}) {
        EXPECT_EQ(rect(lbl).top(), labelTop) << lbl;
        expectPlaced({{combo, "grpbx_limit", {80, comboTop, 97, 21}}});
    }
}

// The window places a pop-up at the right of the clicked button, 3 pixels above
// its bottom edge; every button of a family must leave the whole pop-up on screen.
TEST_F(LayoutTest, PopupsBesideAnyButtonOfTheirFamilyStayInsideTheWindow) {
    const std::pair<const char*, QStringList> families[] = {
        {"grpbx_gain", {"btn_op0_gain", "btn_op1_gain", "btn_op2_gain"}},
        {"grpbx_delay", {"btn_in0_delay", "btn_op0_delay", "btn_op1_delay", "btn_op2_delay"}},
        {"grpbx_limit", {"btn_op0_lim", "btn_op1_lim", "btn_op2_lim"}},
    };
    const QPoint strip = rect("grp2").topLeft();
    for (const auto& [popup, buttons] : families)
        for (const QString& b : buttons) {
            const QRect placed(strip + rect(b).bottomRight() + QPoint(1, -2), rect(popup).size());
            EXPECT_TRUE(visibleArea().contains(placed)) << popup << " beside " << b.toStdString();
        }
}

TEST_F(LayoutTest, PanelsStartAtTheirShowingPlaces) {
    for (const auto& [panel, topLeft] : {std::pair{"rzgrpbx_data_tx_bar", QPoint(189, 205)},
                                         {"rzgrpbx_searchID", QPoint(224, 288)},
                                         {"rzgrpbx_sch_result", QPoint(6, 411)}}) {
        EXPECT_EQ(rect(panel).topLeft(), topLeft) << panel;
        EXPECT_EQ(parentName(panel), "centralWidget");
        EXPECT_TRUE(visibleArea().contains(rect(panel))) << panel;
    }
}
