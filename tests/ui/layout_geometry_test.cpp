// Positions and sizes of the main controls, as the design places them.

#include "support/layout.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>

namespace {

struct Placed {
    const char* name;
    const char* parent;
    QRect rect;
};

void expectPlaced(const Placed& p, QWidget* window) {
    QWidget* w = window->findChild<QWidget*>(p.name);
    ASSERT_NE(w, nullptr) << p.name;
    EXPECT_EQ(w->geometry(), p.rect) << p.name;
    ASSERT_NE(w->parentWidget(), nullptr) << p.name;
    EXPECT_EQ(w->parentWidget()->objectName(), p.parent) << p.name;
}

} // namespace

TEST_F(LayoutTest, WindowHasFixedSizeCaptionAndRoomForEveryGroup) {
    EXPECT_EQ(window().windowTitle(), "Talvex-96K V3.8.0 U");
    EXPECT_EQ(window().minimumSize(), window().maximumSize());
    EXPECT_EQ(window().size(), QSize(talvex::kClientWidth, talvex::kClientHeight));
    // The outer 747 x 735 less a 4-pixel border and a 23-pixel title bar.
    EXPECT_EQ(talvex::kClientWidth + 2 * 4, 747);
    EXPECT_EQ(talvex::kClientHeight + 4 + 23 + 4, 735);

    window().show();
    const QSize area = central()->size();
    EXPECT_EQ(area.width(), talvex::kClientWidth);
    EXPECT_EQ(area.height(), talvex::kClientHeight - talvex::kMenuHeight);
    for (const char* group : {"grp1", "grp2", "grp3", "rzgrpbx5"})
        EXPECT_TRUE(central()->rect().contains(rect(group))) << group;
    window().hide();
}

TEST_F(LayoutTest, GroupsSitAtTheirDesignRectangles) {
    const Placed groups[] = {
        {"grp1", "centralWidget", {7, 2, 600, 95}},
        {"grp2", "centralWidget", {7, 98, 600, 132}},
        {"grp3", "centralWidget", {611, 2, 122, 228}},
        {"rzgrpbx5", "centralWidget", {7, 232, 727, 445}},
        {"rzgrpbx6", "rzgrpbx5", {3, 8, 720, 169}},
        {"grp4", "rzgrpbx6", {547, 24, 166, 115}},
        {"img_eqbackground", "pnl1", {0, 3, 720, 250}},
    };
    for (const Placed& p : groups)
        expectPlaced(p, &window());
    EXPECT_EQ(rect("lbl_cur_ch").topLeft(), QPoint(293, 8));
    // The graph panel lies below the band area and inside the page.
    const QRect panel = rect("pnl1");
    EXPECT_GE(panel.top(), rect("rzgrpbx6").bottom());
    EXPECT_TRUE(find("rzgrpbx5")->rect().contains(panel));
}

TEST_F(LayoutTest, StripButtonsFollowTheRowTable) {
    struct Column {
        const char* suffix;
        int left, width;
    };
    const Column outputs[] = {{"mute", 112, 42}, {"gain", 160, 61}, {"eq", 228, 113},
                              {"lim", 349, 57},  {"delay", 413, 49}, {"pol", 469, 42}};
    const int rowTop[3] = {41, 73, 105};
    for (int k = 0; k < 3; ++k)
        for (const Column& c : outputs)
            expectPlaced({qPrintable(QStringLiteral("btn_op%1_%2").arg(k).arg(c.suffix)), "grp2",
                          {c.left, rowTop[k], c.width, 23}},
                         &window());
    const Placed main[] = {
        {"btn_in0_eq", "grp2", {112, 9, 61, 23}},
        {"btn_in0_delay", "grp2", {189, 9, 76, 23}},
        {"btn_in0_pol", "grp2", {277, 9, 42, 23}},
        {"btn_op2_bassp", "grp2", {518, 105, 74, 23}},
    };
    for (const Placed& p : main)
        expectPlaced(p, &window());

    EXPECT_EQ(rect("lbl_volume").left(), 337);
    const QRect gain = rect("rztrckbr_ingain");
    EXPECT_EQ(gain.left(), 384);
    EXPECT_EQ(gain.width(), 161);
    EXPECT_EQ(rect("lbl28").left(), 544);
    auto* slider = find<QSlider>("rztrckbr_ingain");
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 300);
    EXPECT_EQ(slider->value(), 300);
}

TEST_F(LayoutTest, RoutingIconsStandBeforeTheirRows) {
    const std::pair<const char*, const char*> rows[] = {{"img_row_main", "btn_in0_eq"},
                                                        {"img2", "btn_op0_mute"},
                                                        {"img6", "btn_op1_mute"},
                                                        {"img_row_low", "btn_op2_mute"}};
    for (const auto& [icon, first] : rows) {
        const QRect i = rect(icon);
        const QRect b = rect(first);
        EXPECT_EQ(parentName(icon), "grp2");
        EXPECT_EQ(i.size(), QSize(30, 27)) << icon;
        EXPECT_LT(i.right(), b.left()) << icon;
        EXPECT_EQ(i.center().y(), b.center().y()) << icon;
    }
}

TEST_F(LayoutTest, EqualiserColumnsAndCrossoverBoxes) {
    const std::pair<const char*, int> rows[] = {{"edt_op3eq_freq_0", 47},
                                                {"edt_op3eq_gain_0", 71},
                                                {"cbb_op3eq_type_0", 95},
                                                {"edt_op3eq_qval_0", 119}};
    for (int j = 0; j < 10; ++j) {
        for (const auto& [prefix, top] : rows) {
            const QString name = prefix + QString::number(j);
            const QRect r = rect(name);
            EXPECT_EQ(r.left(), 34 + 51 * j) << name.toStdString();
            EXPECT_EQ(r.top(), top) << name.toStdString();
            EXPECT_EQ(r.width(), 49) << name.toStdString();
            EXPECT_EQ(parentName(name), "rzgrpbx6");
        }
        const QRect head = rect(QStringLiteral("lbl_eq_head_%1").arg(j));
        EXPECT_EQ(head.top(), 32);
        EXPECT_EQ(head.left(), 34 + 51 * j);
    }
    const std::pair<const char*, int> crossover[] = {{"edt_op3hpf_freq", 16},
                                                     {"cbb_op3hpf_type", 40},
                                                     {"edt_op3lpf_freq", 64},
                                                     {"cbb_op3lpf_type", 88}};
    for (const auto& [name, top] : crossover) {
        EXPECT_EQ(rect(name).top(), top) << name;
        EXPECT_EQ(rect(name).width(), 121) << name;
        EXPECT_EQ(parentName(name), "grp4");
    }
}

TEST_F(LayoutTest, PopupsHaveTheirSizesAndInnerPlaces) {
    EXPECT_EQ(rect("grpbx_gain").size(), QSize(217, 65));
    EXPECT_EQ(rect("grpbx_delay").size(), QSize(217, 65));
    EXPECT_EQ(rect("grpbx_limit").size(), QSize(217, 132));
    for (const char* popup : {"grpbx_gain", "grpbx_delay", "grpbx_limit"})
        EXPECT_EQ(parentName(popup), "centralWidget") << popup;

    EXPECT_EQ(rect("grpbx_gain_caption").topLeft(), QPoint(11, 16));
    EXPECT_EQ(rect("albl1").topLeft(), QPoint(56, 16));
    EXPECT_EQ(rect("rztrckbr_gain").topLeft(), QPoint(8, 35));
    EXPECT_EQ(rect("rztrckbr_gain").width(), 201);
    EXPECT_EQ(rect("rztrckbr_delay").topLeft(), QPoint(8, 35));
    EXPECT_EQ(find<QSlider>("rztrckbr_gain")->maximum(), 325);
    EXPECT_EQ(find<QSlider>("rztrckbr_delay")->maximum(), 1440);
    for (const char* close : {"btn_grpbx_gain_close", "btn2", "btn3"})
        EXPECT_EQ(rect(close), QRect(192, 8, 19, 17)) << close;

    const std::tuple<const char*, const char*, int, int> limiter[] = {
        {"lbl_lim_thr", "cbb_lim_thr", 35, 32},
        {"lbl_lim_att", "cbb_lim_att", 68, 64},
        {"lbl_lim_rel", "cbb_lim_rel", 100, 96}};
    for (const auto& [lbl, combo, labelTop, comboTop] : limiter) {
        EXPECT_EQ(rect(lbl).top(), labelTop) << lbl;
        EXPECT_EQ(rect(combo), QRect(80, comboTop, 97, 21)) << combo;
        EXPECT_EQ(parentName(combo), "grpbx_limit");
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
    const QRect strip = rect("grp2");
    const QRect area(0, 0, talvex::kClientWidth, talvex::kClientHeight - talvex::kMenuHeight);
    for (const auto& [popup, buttons] : families) {
        const QSize size = rect(popup).size();
        for (const QString& b : buttons) {
            const QRect r = rect(b);
            const QRect placed(strip.left() + r.left() + r.width(),
                               strip.top() + r.top() + r.height() - 3, size.width(), size.height());
            EXPECT_TRUE(area.contains(placed)) << popup << " beside " << b.toStdString();
        }
    }
}

TEST_F(LayoutTest, PanelsStartAtTheirShowingPlaces) {
    EXPECT_EQ(rect("rzgrpbx_data_tx_bar").topLeft(), QPoint(189, 205));
    EXPECT_EQ(rect("rzgrpbx_searchID").topLeft(), QPoint(224, 288));
    EXPECT_EQ(rect("rzgrpbx_sch_result").topLeft(), QPoint(6, 411));
    const QRect area(0, 0, talvex::kClientWidth, talvex::kClientHeight - talvex::kMenuHeight);
    for (const char* panel : {"rzgrpbx_data_tx_bar", "rzgrpbx_searchID", "rzgrpbx_sch_result"}) {
        EXPECT_EQ(parentName(panel), "centralWidget");
        EXPECT_TRUE(area.contains(rect(panel))) << panel;
    }
}
