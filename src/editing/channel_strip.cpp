#include "editing/channel_strip.h"

#include "editing/edit_labels.h"
#include "editing/editing_context.h"
#include "editing/parameter_editor.h"
#include "model/number_text.h"
#include "model/parameter_model.h"
#include "ui/icons.h"
#include "ui/main_window_layout.h"
#include "ui/pixel_ratio.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QWidget>

namespace talvex {

namespace {

// Output channel 0..2 from the seventh character of a strip button's name, or -1.
int outputOf(const QObject* sender)
{
    if (!sender)
        return -1;
    const QString name = sender->objectName();
    if (name.size() < 7)
        return -1;
    const int k = name[6].unicode() - u'0';
    return k >= 0 && k < 3 ? k : -1;
}

// Whether `widget` lies inside `container`, following parents across window
// boundaries (a combo box's drop-down belongs to the combo box).
bool within(const QWidget* widget, const QWidget* container)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w == container)
            return true;
    return false;
}

enum class Feed { Plain = 0, FromAbove = 1, FromBelow = 2 };

struct BridgeLayout {
    bool highShown;
    bool midShown;
    Feed high;
    Feed mid;
};

constexpr std::array<BridgeLayout, 4> kBridgeLayouts = {{
    {true, true, Feed::Plain, Feed::Plain},
    {true, false, Feed::Plain, Feed::FromBelow},
    {true, false, Feed::Plain, Feed::FromAbove},
    {false, false, Feed::FromBelow, Feed::FromBelow},
}};

constexpr int kLowGainLimit = 300; // Low's gain stops at 0 dB
constexpr int kLow = 2;

} // namespace

ChannelStrip::ChannelStrip(QWidget* window, ParameterEditor& editor, EditingContext& editing)
    : model_(editor.model()), editor_(editor), editing_(editing)
{
    setObjectName(QStringLiteral("channelStrip"));
    findControls(window);
    connectControls();
    connect(&editor_, &ParameterEditor::edited, this, [this](const ParameterEdit& edit) { showEdit(edit); });
    editing_.setTrackBarStepper([this](const std::string& name, int step) { stepTrackBar(name, step); });
}

ChannelStrip::~ChannelStrip()
{
    editing_.setTrackBarStepper(nullptr);
}

void ChannelStrip::findControls(QWidget* window)
{
    grp2_ = need<QWidget>(window, "grp2");
    popups_ = {need<QWidget>(window, "grpbx_gain"), need<QWidget>(window, "grpbx_delay"),
               need<QWidget>(window, "grpbx_limit")};
    for (int k = 0; k < 3; ++k) {
        const QByteArray prefix = "btn_op" + QByteArray::number(k);
        muteButtons_[k] = need<QAbstractButton>(window, prefix + "_mute");
        polButtons_[k] = need<QAbstractButton>(window, prefix + "_pol");
        gainButtons_[k] = need<QAbstractButton>(window, prefix + "_gain");
        delayButtons_[k + 1] = need<QAbstractButton>(window, prefix + "_delay");
        limitButtons_[k] = need<QAbstractButton>(window, prefix + "_lim");
        if (k < 2) {
            int i = 0;
            for (const char* suffix : {"_mute", "_gain", "_eq", "_lim", "_delay", "_pol"})
                rowButtons_[k][i++] = need<QWidget>(window, prefix + suffix);
        }
    }
    delayButtons_[0] = need<QAbstractButton>(window, "btn_in0_delay");
    btn_in0_pol_ = need<QAbstractButton>(window, "btn_in0_pol");
    btn_op2_bassp_ = need<QAbstractButton>(window, "btn_op2_bassp");
    closeButtons_ = {need<QAbstractButton>(window, "btn_grpbx_gain_close"), need<QAbstractButton>(window, "btn2"),
                     need<QAbstractButton>(window, "btn3")};
    rztrckbr_gain_ = need<QAbstractSlider>(window, "rztrckbr_gain");
    rztrckbr_delay_ = need<QAbstractSlider>(window, "rztrckbr_delay");
    rztrckbr_ingain_ = need<QAbstractSlider>(window, "rztrckbr_ingain");
    albl1_ = need<QLabel>(window, "albl1");
    albl2_ = need<QLabel>(window, "albl2");
    lbl28_ = need<QLabel>(window, "lbl28");
    cbb_lim_thr_ = need<QComboBox>(window, "cbb_lim_thr");
    cbb_lim_att_ = need<QComboBox>(window, "cbb_lim_att");
    cbb_lim_rel_ = need<QComboBox>(window, "cbb_lim_rel");
    img2_ = need<QLabel>(window, "img2");
    img6_ = need<QLabel>(window, "img6");
    bridgeItems_ = {need<QAction>(window, "NoBTL1"), need<QAction>(window, "Lowmidbridge1"),
                    need<QAction>(window, "highmidbridge1"), need<QAction>(window, "LowmidBTLhighlow1")};
}

void ChannelStrip::connectControls()
{
    for (int k = 0; k < 3; ++k) {
        QAbstractButton* mute = muteButtons_[k];
        QAbstractButton* pol = polButtons_[k];
        QAbstractButton* gain = gainButtons_[k];
        QAbstractButton* delay = delayButtons_[k + 1];
        QAbstractButton* lim = limitButtons_[k];
        connect(mute, &QAbstractButton::clicked, this, [this, mute] { toggleMute(mute); });
        connect(pol, &QAbstractButton::clicked, this, [this, pol] { togglePolarity(pol); });
        connect(gain, &QAbstractButton::clicked, this, [this, gain] { openGainPopup(gain); });
        connect(delay, &QAbstractButton::clicked, this, [this, delay] { openDelayPopup(delay); });
        connect(lim, &QAbstractButton::clicked, this, [this, lim] { openLimiterPopup(lim); });
    }
    QAbstractButton* bassp = btn_op2_bassp_;
    connect(bassp, &QAbstractButton::clicked, this, [this, bassp] { toggleRecoup(bassp); });
    connect(btn_in0_pol_, &QAbstractButton::clicked, this, &ChannelStrip::toggleMainPolarity);
    connect(delayButtons_[0], &QAbstractButton::clicked, this, &ChannelStrip::openMainDelayPopup);
    connect(closeButtons_[0], &QAbstractButton::clicked, this, &ChannelStrip::closeGainPopup);
    connect(closeButtons_[1], &QAbstractButton::clicked, this, &ChannelStrip::closeDelayPopup);
    connect(closeButtons_[2], &QAbstractButton::clicked, this, &ChannelStrip::closeLimiterPopup);

    connect(rztrckbr_gain_, &QAbstractSlider::valueChanged, this, &ChannelStrip::gainMoved);
    connect(rztrckbr_delay_, &QAbstractSlider::valueChanged, this, &ChannelStrip::delayMoved);
    connect(rztrckbr_ingain_, &QAbstractSlider::valueChanged, this, &ChannelStrip::mainGainMoved);
    for (QAbstractSlider* bar : {rztrckbr_gain_, rztrckbr_delay_, rztrckbr_ingain_})
        bar->installEventFilter(this);

    // Only the user's choices are edits: opening the pop-up sets the selections quietly.
    connect(cbb_lim_thr_, &QComboBox::activated, this, &ChannelStrip::chooseLimiterThreshold);
    connect(cbb_lim_att_, &QComboBox::activated, this, &ChannelStrip::chooseLimiterAttack);
    connect(cbb_lim_rel_, &QComboBox::activated, this, &ChannelStrip::chooseLimiterRelease);

    // Giving a pop-up the focus puts it on its first control, where the keys work.
    popups_[GainPopup]->setFocusProxy(rztrckbr_gain_);
    popups_[DelayPopup]->setFocusProxy(rztrckbr_delay_);
    popups_[LimitPopup]->setFocusProxy(cbb_lim_thr_);
    connect(qApp, &QApplication::focusChanged, this, &ChannelStrip::onFocusChanged);

    for (int mode = 0; mode < 4; ++mode) {
        connect(bridgeItems_[mode], &QAction::triggered, this, [this, mode] { chooseBridgeMode(mode); });
        bridgeItems_[mode]->setCheckable(true);
    }
}

bool ChannelStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        trackBarPressed(watched);
    } else if (event->type() == QEvent::FocusOut) {
        // Switching to another program or opening a menu is not leaving the track bar.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            trackBarLeft(watched);
    }
    return false;
}

// --- showing the image and the edits --------------------------------------

void ChannelStrip::showImage()
{
    hidePopups();
    for (int k = 0; k < 3; ++k) {
        const int block = outputBlockStart(k);
        showToggle(muteButtons_[k], block + kOutMute, true);
        showToggle(polButtons_[k], block + kOutPolarity, false);
    }
    showToggle(btn_op2_bassp_, outputBlockStart(kLow) + kOutRecoup, true);
    showToggle(btn_in0_pol_, kMainPolarity, false);
    {
        const QSignalBlocker quiet(rztrckbr_ingain_);
        rztrckbr_ingain_->setValue(model_.code16(kMainGain));
    }
    // Also when the position did not move (the label may still show its design text).
    lbl28_->setText(fromStd(gainText(rztrckbr_ingain_->value())));
    const int mode = model_.image[kBridgeMode];
    if (mode >= 0 && mode < 4) // an unknown mode leaves the menu and the rows as they are
        showBridgeMode(mode);
}

// Shows the strip's entries an applied edit touched: toggles, the input gain,
// the open pop-up's control when it edits the entry, the bridge configuration.
void ChannelStrip::showEdit(const ParameterEdit& edit)
{
    const auto touched = [&edit](int entry) { return edit.touches(entry) || edit.touches(entry + 1); };
    for (int k = 0; k < 3; ++k) {
        const int block = outputBlockStart(k);
        if (edit.touches(block + kOutMute))
            showToggle(muteButtons_[k], block + kOutMute, true);
        if (edit.touches(block + kOutPolarity))
            showToggle(polButtons_[k], block + kOutPolarity, false);
    }
    if (edit.touches(outputBlockStart(kLow) + kOutRecoup))
        showToggle(btn_op2_bassp_, outputBlockStart(kLow) + kOutRecoup, true);
    if (edit.touches(kMainPolarity))
        showToggle(btn_in0_pol_, kMainPolarity, false);
    if (touched(kMainGain)) {
        const QSignalBlocker quiet(rztrckbr_ingain_);
        rztrckbr_ingain_->setValue(model_.code16(kMainGain));
        lbl28_->setText(fromStd(gainText(model_.code16(kMainGain))));
    }
    if (edit.touches(kBridgeMode) && model_.image[kBridgeMode] >= 0 && model_.image[kBridgeMode] < 4)
        showBridgeMode(model_.image[kBridgeMode]);

    // The open pop-up shows the entries it edits (the one visible pop-up set the target field).
    const int field = editing_.targetField;
    if (field < 0 || field + 2 >= kImageSize)
        return;
    if (!popups_[GainPopup]->isHidden() && touched(field)) {
        const QSignalBlocker quiet(rztrckbr_gain_);
        rztrckbr_gain_->setValue(model_.code16(field));
        albl1_->setText(fromStd(gainText(model_.code16(field))));
    }
    if (!popups_[DelayPopup]->isHidden() && touched(field)) {
        const QSignalBlocker quiet(rztrckbr_delay_);
        rztrckbr_delay_->setValue(model_.code16(field));
        albl2_->setText(fromStd(delayText(model_.code16(field))));
    }
    if (!popups_[LimitPopup]->isHidden() && (touched(field) || edit.touches(field + 2))) {
        const QSignalBlocker thr(cbb_lim_thr_), att(cbb_lim_att_), rel(cbb_lim_rel_);
        cbb_lim_thr_->setCurrentIndex(model_.image[field]);
        cbb_lim_att_->setCurrentIndex(model_.image[field + 1]);
        cbb_lim_rel_->setCurrentIndex(model_.image[field + 2]);
    }
}

// --- toggles ----------------------------------------------------------------

// Mute and recoup turn red when on; polarity shows "-" or "+". Any value but 0 reads as on.
void ChannelStrip::showToggle(QAbstractButton* button, int entry, bool redWhenOn)
{
    const bool on = model_.image[entry] != 0;
    if (redWhenOn)
        setButtonColour(button, on ? kStateRed : kButtonFace);
    else
        button->setText(on ? QStringLiteral("-") : QStringLiteral("+"));
}

// 1 becomes 0; 0 or any other value becomes 1. The edit shows the new state.
void ChannelStrip::toggle(int entry, std::string label)
{
    hidePopups();
    editing_.targetChunk = chunkOf(entry);
    editor_.apply(ParameterEdit(std::move(label)).set(entry, model_.image[entry] == 1 ? 0 : 1));
}

void ChannelStrip::toggleMute(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return hidePopups();
    toggle(outputBlockStart(k) + kOutMute, channelName(k + 1) + " mute");
}

void ChannelStrip::togglePolarity(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return hidePopups();
    toggle(outputBlockStart(k) + kOutPolarity, channelName(k + 1) + " polarity");
}

void ChannelStrip::toggleMainPolarity() { toggle(kMainPolarity, "Main polarity"); }

void ChannelStrip::toggleRecoup(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return hidePopups();
    toggle(outputBlockStart(k) + kOutRecoup, channelName(k + 1) + " recoup");
}

// --- pop-ups ----------------------------------------------------------------

void ChannelStrip::hidePopups()
{
    for (Popup which : {GainPopup, DelayPopup, LimitPopup})
        hidePopup(which);
}

// A hidden widget that holds the focus would hand it to the next control in
// tab order, and an equaliser box that gains it binds the wheel. The focus
// goes back to the button that opened the pop-up, or to nothing.
void ChannelStrip::releaseFocus(QWidget* leaving, QAbstractButton* backTo)
{
    QWidget* focused = QApplication::focusWidget();
    if (!focused || !within(focused, leaving))
        return;
    if (backTo && backTo->isVisible())
        backTo->setFocus(Qt::OtherFocusReason);
    else
        focused->clearFocus();
}

void ChannelStrip::hidePopup(Popup which)
{
    QWidget* popup = popups_[which];
    if (popup->isHidden())
        return;
    releaseFocus(popup, openers_[which]);
    popup->hide();
}

void ChannelStrip::greyFamily(Popup which)
{
    auto grey = [](const auto& buttons) {
        for (QAbstractButton* button : buttons)
            setButtonColour(button, kButtonGrey);
    };
    switch (which) {
    case GainPopup: grey(gainButtons_); break;
    case DelayPopup: grey(delayButtons_); break;
    case LimitPopup: grey(limitButtons_); break;
    }
}

void ChannelStrip::openPopup(Popup which, QAbstractButton* clicked, int field)
{
    for (Popup other : {GainPopup, DelayPopup, LimitPopup})
        if (other != which)
            hidePopup(other);
    greyFamily(which);
    openers_[which] = clicked;
    setButtonColour(clicked, kOpenYellow);

    // Beside the button: right of it, overlapping its lower edge by three pixels.
    QWidget* popup = popups_[which];
    popup->move(grp2_->x() + clicked->x() + clicked->width(), grp2_->y() + clicked->y() + clicked->height() - 3);
    popup->show();
    popup->raise();

    editing_.targetField = field;
    editing_.targetChunk = chunkOf(field);

    // Moving a track bar to the stored code runs its change handler only when the
    // position changes; the handler writes a clamped code back.
    switch (which) {
    case GainPopup:
        rztrckbr_gain_->setValue(model_.code16(field));
        albl1_->setText(fromStd(gainText(rztrckbr_gain_->value()))); // also when it did not move
        break;
    case DelayPopup:
        rztrckbr_delay_->setValue(model_.code16(field));
        albl2_->setText(fromStd(delayText(rztrckbr_delay_->value())));
        break;
    case LimitPopup: {
        const QSignalBlocker thr(cbb_lim_thr_), att(cbb_lim_att_), rel(cbb_lim_rel_);
        cbb_lim_thr_->setCurrentIndex(model_.image[field]);
        cbb_lim_att_->setCurrentIndex(model_.image[field + 1]);
        cbb_lim_rel_->setCurrentIndex(model_.image[field + 2]);
        break;
    }
    }
    popup->setFocus(Qt::OtherFocusReason);
}

void ChannelStrip::openGainPopup(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return;
    popupOutput_ = k;
    openPopup(GainPopup, gainButtons_[k], outputBlockStart(k) + kOutGain);
}

void ChannelStrip::openDelayPopup(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return;
    openPopup(DelayPopup, delayButtons_[k + 1], outputBlockStart(k) + kOutDelay);
}

void ChannelStrip::openMainDelayPopup() { openPopup(DelayPopup, delayButtons_[0], kMainDelay); }

void ChannelStrip::openLimiterPopup(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return;
    openPopup(LimitPopup, limitButtons_[k], outputBlockStart(k) + kOutLimiter);
}

void ChannelStrip::closeGainPopup() { hidePopup(GainPopup); }
void ChannelStrip::closeDelayPopup() { hidePopup(DelayPopup); }
void ChannelStrip::closeLimiterPopup() { hidePopup(LimitPopup); }

void ChannelStrip::gainPopupLeft() { greyFamily(GainPopup); }
void ChannelStrip::delayPopupLeft() { greyFamily(DelayPopup); }
void ChannelStrip::limiterPopupLeft() { greyFamily(LimitPopup); }

void ChannelStrip::onFocusChanged(QWidget* old, QWidget* now)
{
    for (int i = 0; i < 3; ++i) {
        QWidget* popup = popups_[i];
        if (!old || !within(old, popup) || (now && within(now, popup)))
            continue;
        // The focus left for another program or window: the pop-up keeps it.
        if (now ? now->window() != popup->window() : popup->isVisible())
            continue;
        switch (i) {
        case GainPopup: gainPopupLeft(); break;
        case DelayPopup: delayPopupLeft(); break;
        case LimitPopup: limiterPopupLeft(); break;
        }
    }
}

// --- track bars and lists ---------------------------------------------------

// Label of a pop-up edit of `field` (gain, delay or limiter entry of a channel).
static std::string popupLabel(int field, const char* what)
{
    const int channel = field < kMainBlockSize ? 0 : 1 + (field - kMainBlockSize) / kOutputBlockSize;
    return channelName(channel) + " " + what;
}

// A track bar's position to its 16-bit entry pair. One control, one merge key.
void ChannelStrip::applyTrackBar(int field, int code, const std::string& key)
{
    editing_.targetChunk = chunkOf(field);
    const char* what = key == "rztrckbr_delay" ? "delay" : "gain";
    editor_.apply(ParameterEdit(popupLabel(field, what), key + ":" + std::to_string(field)).set16(field, code));
}

void ChannelStrip::gainMoved()
{
    int code = rztrckbr_gain_->value();
    if (popupOutput_ == kLow && code > kLowGainLimit) {
        const QSignalBlocker quiet(rztrckbr_gain_);
        rztrckbr_gain_->setValue(kLowGainLimit);
        code = kLowGainLimit;
    }
    albl1_->setText(fromStd(gainText(code)));
    const int field = editing_.targetField;
    if (field < 0 || field + 1 >= kImageSize)
        return;
    applyTrackBar(field, code, "rztrckbr_gain");
}

void ChannelStrip::mainGainMoved()
{
    hidePopups();
    const int code = rztrckbr_ingain_->value();
    lbl28_->setText(fromStd(gainText(code)));
    applyTrackBar(kMainGain, code, "rztrckbr_ingain");
}

void ChannelStrip::delayMoved()
{
    const int code = rztrckbr_delay_->value();
    albl2_->setText(fromStd(delayText(code)));
    const int field = editing_.targetField;
    if (field < 0 || field + 1 >= kImageSize)
        return;
    applyTrackBar(field, code, "rztrckbr_delay");
}

void ChannelStrip::applyLimiter(int offset, const QComboBox* list)
{
    const int entry = editing_.targetField + offset;
    if (editing_.targetField < 0 || entry >= kImageSize || list->currentIndex() < 0)
        return;
    static const char* const names[3] = {"limiter threshold", "limiter attack", "limiter release"};
    editing_.targetChunk = chunkOf(editing_.targetField);
    editor_.apply(ParameterEdit(popupLabel(editing_.targetField, names[offset])).set(entry, list->currentIndex()));
}

void ChannelStrip::chooseLimiterThreshold() { applyLimiter(0, cbb_lim_thr_); }
void ChannelStrip::chooseLimiterAttack() { applyLimiter(1, cbb_lim_att_); }
void ChannelStrip::chooseLimiterRelease() { applyLimiter(2, cbb_lim_rel_); }

void ChannelStrip::trackBarPressed(QObject* sender)
{
    if (sender)
        editing_.bindTrackBar(sender->objectName().toStdString());
}

void ChannelStrip::trackBarLeft(QObject*)
{
    editing_.unbind();
    greyFamily(GainPopup);
}

void ChannelStrip::stepTrackBar(const std::string& name, int step)
{
    for (QAbstractSlider* bar : {rztrckbr_ingain_, rztrckbr_gain_, rztrckbr_delay_})
        if (bar->objectName().toStdString() == name)
            bar->setValue(bar->value() + step); // the track bar keeps to its range
}

// --- bridge menu ------------------------------------------------------------

void ChannelStrip::chooseBridgeMode(int mode)
{
    hidePopups();
    if (mode < 0 || mode > 3)
        return;
    // Chosen again, the same mode still goes out with Main's chunk 0.
    editor_.apply(ParameterEdit("Bridge mode").set(kBridgeMode, mode));
}

// Menu check marks, the High and Mid rows and the icons before them.
void ChannelStrip::showBridgeMode(int mode)
{
    for (int i = 0; i < 4; ++i)
        bridgeItems_[i]->setChecked(i == mode);
    const BridgeLayout& layout = kBridgeLayouts[std::size_t(mode)];
    for (int row = 0; row < 2; ++row)
        if (!(row == 0 ? layout.highShown : layout.midShown))
            for (QWidget* button : rowButtons_[std::size_t(row)])
                releaseFocus(button, nullptr);
    for (QWidget* button : rowButtons_[0])
        button->setVisible(layout.highShown);
    for (QWidget* button : rowButtons_[1])
        button->setVisible(layout.midShown);
    showDrawn(img2_, [kind = icons::Bridge(layout.high)](qreal ratio) { return icons::bridge(kind, ratio); });
    showDrawn(img6_, [kind = icons::Bridge(layout.mid)](qreal ratio) { return icons::bridge(kind, ratio); });
}

} // namespace talvex
