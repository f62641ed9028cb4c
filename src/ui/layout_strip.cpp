// The channel strip (grp2) and its three pop-up editors.

#include "ui/icons.h"
#include "ui/layout_widgets.h"
#include "ui/views.h"
#include "model/value_tables.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>

#include <tuple>

namespace talvex::layout {

namespace {

constexpr int kRowTop[4] = {9, 41, 73, 105}; // Main, High, Mid, Low

// The routing icon is 27 high, the buttons 23: centre the icon on the row.
constexpr int kIconLeft = 74;
int iconTop(int row) { return kRowTop[row] - 2; }

StripView::OutputRow buildOutputRow(QGroupBox* strip, int k) {
    const int top = kRowTop[k + 1];
    const QString prefix = QStringLiteral("btn_op%1_").arg(k);
    StripView::OutputRow row;
    row.mute = button(strip, prefix + "mute", "Mute", 112, top, 42);
    row.gain = button(strip, prefix + "gain", "Gain", 160, top, 61);
    row.eq = button(strip, prefix + "eq", "EQ/HPF/LPF", 228, top, 113);
    row.limiter = button(strip, prefix + "lim", "Limiter", 349, top, 57);
    row.delay = button(strip, prefix + "delay", "Delay", 413, top, 49);
    row.polarity = button(strip, prefix + "pol", "+", 469, top, 42);
    return row;
}


// A click on a track bar's groove, or PageUp / PageDown, is a small deliberate
// step, never a jump across a live amplifier: 1 dB on the gain and volume bars
// (0.2 dB a code) and 10 codes, 0.104 ms, on the delay bar.
constexpr int kGainPageStep = 5;
constexpr int kDelayPageStep = 10;

// A pop-up with a value label, a track bar and an "X" button; child of the
// central widget, placed by the strip beside the button that opens it.
// The pop-up, its value label, its track bar and its "X" button.
std::tuple<QGroupBox*, QLabel*, QSlider*, QPushButton*> buildSliderPopup(QWidget* central, const QString& name, const QString& caption,
                             const QString& valueName, const QString& valueText,
                             const QString& trackName, int maximum, int pageStep, const QString& closeName) {
    QGroupBox* popup = floatingBox(central, name, 228, 159, 217, 65);
    label(popup, name + "_caption", caption, 11, 16);
    return {popup, label(popup, valueName, valueText, 56, 16, 120),
            trackBar(popup, trackName, maximum, pageStep, 8, 35, 201),
            button(popup, closeName, "X", 192, 8, 19, 17)};
}

} // namespace

void buildStrip(QWidget* central, StripView& view, EqPageView& page) {
    QGroupBox* strip = view.group = box(central, "grp2", 7, 98, 600, 132);

    const char* rowNames[4] = {" Main ", " High ", " Mid   ", " Low "};
    const char* rowLabels[4] = {"lbl_row_main", "lbl_row_high", "lbl_row_mid", "lbl_row_low"};
    for (int row = 0; row < 4; ++row)
        label(strip, rowLabels[row], rowNames[row], 10, kRowTop[row] + 5);

    // Routing icons: img2 before High and img6 before Mid change with the bridge
    // mode; the ones before Main and Low always show the plain arrow.
    const Drawing plain = [](qreal ratio) { return icons::bridge(icons::Bridge::Plain, ratio); };
    image(strip, "img_row_main", plain, kIconLeft, iconTop(0));
    view.highFeed = image(strip, "img2", plain, kIconLeft, iconTop(1));
    view.midFeed = image(strip, "img6", plain, kIconLeft, iconTop(2));
    image(strip, "img_row_low", plain, kIconLeft, iconTop(3));

    page.pageButtons[0] = button(strip, "btn_in0_eq", "Main EQ", 112, kRowTop[0], 61);
    view.mainDelay = button(strip, "btn_in0_delay", "Main delay", 189, kRowTop[0], 76);
    view.mainPolarity = button(strip, "btn_in0_pol", "+", 277, kRowTop[0], 42);
    label(strip, "lbl_volume", "Volume", 337, kRowTop[0] + 4, 45);
    QSlider* ingain = view.mainGain = trackBar(strip, "rztrckbr_ingain", 300, kGainPageStep, 384, kRowTop[0] - 1, 161);
    ingain->setValue(300);
    // lbl28 starts where the design puts it, on the track bar's last pixel column,
    // which the track bar leaves blank.
    view.mainGainText = label(strip, "lbl28", "0db", 544, kRowTop[0] + 4, 50);

    for (int k = 0; k < 3; ++k) {
        view.outputs[std::size_t(k)] = buildOutputRow(strip, k);
        page.pageButtons[std::size_t(k + 1)] = view.outputs[std::size_t(k)].eq;
    }
    view.recoup = button(strip, "btn_op2_bassp", "recoup", 518, kRowTop[3], 74);

    std::tie(view.gainPopup, view.gainText, view.gainBar, view.gainClose) =
        buildSliderPopup(central, "grpbx_gain", "Gain: ", "albl1", "-60 dB", "rztrckbr_gain", 325, kGainPageStep,
                         "btn_grpbx_gain_close");
    std::tie(view.delayPopup, view.delayText, view.delayBar, view.delayClose) =
        buildSliderPopup(central, "grpbx_delay", "Delay: ", "albl2", "0 ms", "rztrckbr_delay", 1440, kDelayPageStep,
                         "btn2");

    QGroupBox* limit = view.limiterPopup = floatingBox(central, "grpbx_limit", 356, 159, 217, 132);
    label(limit, "lbl_lim_thr", "Threshold:", 11, 35);
    label(limit, "lbl_lim_att", "Attack:", 11, 68);
    label(limit, "lbl_lim_rel", "Release:", 11, 100);
    view.threshold = list(limit, "cbb_lim_thr", items(kLimiterThresholdNames), 80, 32, 97);
    view.attack = list(limit, "cbb_lim_att", items(kLimiterAttackNames), 80, 64, 97);
    view.release = list(limit, "cbb_lim_rel", items(kLimiterReleaseNames), 80, 96, 97);
    view.limiterClose = button(limit, "btn3", "X", 192, 8, 19, 17);
}

} // namespace talvex::layout
