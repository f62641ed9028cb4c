// The equaliser page (rzgrpbx5): ten band columns, the crossover box and the
// response graph panel.

#include "ui/layout_widgets.h"
#include "ui/views.h"
#include "model/value_tables.h"

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>

namespace talvex::layout {

namespace {

constexpr int kColumnLeft = 34;
constexpr int kColumnPitch = 51;
constexpr int kColumnWidth = 49;

void buildBandColumns(QGroupBox* area, EqPageView& view) {
    const std::pair<const char*, int> rows[] = {{"Freq", 47}, {"Gain", 71}, {"Type", 95}, {"Qval", 119}};
    for (const auto& [text, top] : rows)
        label(area, QStringLiteral("lbl_row_") + QString::fromLatin1(text).toLower(), text, 3,
              top + 3, 30);

    for (int j = 0; j < 10; ++j) {
        const int left = kColumnLeft + kColumnPitch * j;
        QLabel* head = label(area, QStringLiteral("lbl_eq_head_%1").arg(j),
                             QStringLiteral("EQ%1").arg(j + 1), left, 32, kColumnWidth);
        head->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        const QString digit = QString::number(j);
        const auto at = std::size_t(j);
        view.bandFrequency[at] = edit(area, "edt_op3eq_freq_0" + digit, "19.7", left, 47, kColumnWidth);
        view.bandGain[at] = edit(area, "edt_op3eq_gain_0" + digit, "0.0", left, 71, kColumnWidth);
        view.bandType[at] = list(area, "cbb_op3eq_type_0" + digit, items(kBandTypeNames), left, 95, kColumnWidth);
        view.bandQ[at] = edit(area, "edt_op3eq_qval_0" + digit, {}, left, 119, kColumnWidth);
    }
}

void buildCrossover(QGroupBox* area, EqPageView& view) {
    QGroupBox* grp4 = box(area, "grp4", 547, 24, 166, 115);
    label(grp4, "lbl_hpf", "HPF", 8, 19);
    label(grp4, "lbl_lpf", "LPF", 8, 67);
    view.hpfFrequency = edit(grp4, "edt_op3hpf_freq", "19.7", 38, 16, 121);
    view.hpfType = list(grp4, "cbb_op3hpf_type", items(kCrossoverTypeNames), 38, 40, 121);
    view.lpfFrequency = edit(grp4, "edt_op3lpf_freq", "21900", 38, 64, 121);
    view.lpfType = list(grp4, "cbb_op3lpf_type", items(kCrossoverTypeNames), 38, 88, 121);
}

} // namespace

void buildEqualiserPage(QWidget* central, EqPageView& view) {
    QGroupBox* page = view.page = box(central, "rzgrpbx5", 7, 232, 727, 445);

    QGroupBox* area = box(page, "rzgrpbx6", 3, 8, 720, 169);
    area->setAutoFillBackground(true);
    QPalette grey = area->palette();
    grey.setColor(QPalette::Window, QColor(212, 212, 212));
    area->setPalette(grey);

    QLabel* channel = view.channelCaption = label(area, "lbl_cur_ch", "Current : MAIN", 293, 8, 140);
    QFont bold = channel->font();
    bold.setBold(true);
    channel->setFont(bold);
    QPalette maroon = channel->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    channel->setPalette(maroon);

    buildBandColumns(area, view);
    buildCrossover(area, view);

    // The response graph: img_eqbackground at (0, 3) inside pnl1, dark until the
    // grid is drawn onto it.
    auto* panel = new QWidget(page);
    panel->setObjectName("pnl1");
    panel->setGeometry(3, 180, 720, 258);
    QPixmap background(720, 250);
    background.fill(QColor(20, 20, 20));
    QLabel* graph = view.responseGraph = image(panel, "img_eqbackground", background, 0, 3);
    graph->setFocusPolicy(Qt::NoFocus);
}

} // namespace talvex::layout
