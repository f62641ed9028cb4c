#include "editing/channel_strip.h"

#include "editing/editing_context.h"
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

QString fromStd(const std::string& text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

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

ChannelStrip::ChannelStrip(QWidget* window, ParameterModel& model, EditingContext& editing)
    : model_(model), editing_(editing)
{
    setObjectName(QStringLiteral("channelStrip"));
    findControls(window);
    connectControls();
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
        connect(mute, &QAbstractButton::clicked, this, [this, mute] { btn_op0_muteClick(mute); });
        connect(pol, &QAbstractButton::clicked, this, [this, pol] { btn_op0_polClick(pol); });
        connect(gain, &QAbstractButton::clicked, this, [this, gain] { btn_op0_gainClick(gain); });
        connect(delay, &QAbstractButton::clicked, this, [this, delay] { btn_op0_delayClick(delay); });
        connect(lim, &QAbstractButton::clicked, this, [this, lim] { btn_op0_limClick(lim); });
    }
    QAbstractButton* bassp = btn_op2_bassp_;
    connect(bassp, &QAbstractButton::clicked, this, [this, bassp] { btn_op0_basspClick(bassp); });
    connect(btn_in0_pol_, &QAbstractButton::clicked, this, &ChannelStrip::btn_in0_polClick);
    connect(delayButtons_[0], &QAbstractButton::clicked, this, &ChannelStrip::btn_in0_delayClick);
    connect(closeButtons_[0], &QAbstractButton::clicked, this, &ChannelStrip::btn_grpbx_gain_closeClick);
    connect(closeButtons_[1], &QAbstractButton::clicked, this, &ChannelStrip::btn2Click);
    connect(closeButtons_[2], &QAbstractButton::clicked, this, &ChannelStrip::btn3Click);

    connect(rztrckbr_gain_, &QAbstractSlider::valueChanged, this, &ChannelStrip::rztrckbr_gainChange);
    connect(rztrckbr_delay_, &QAbstractSlider::valueChanged, this, &ChannelStrip::rztrckbr_delayChange);
    connect(rztrckbr_ingain_, &QAbstractSlider::valueChanged, this, &ChannelStrip::rztrckbr_ingainChange);
    for (QAbstractSlider* bar : {rztrckbr_gain_, rztrckbr_delay_, rztrckbr_ingain_})
        bar->installEventFilter(this);

    // Only the user's choices are edits: opening the pop-up sets the selections quietly.
    connect(cbb_lim_thr_, &QComboBox::activated, this, &ChannelStrip::cbb_lim_thrChange);
    connect(cbb_lim_att_, &QComboBox::activated, this, &ChannelStrip::cbb_lim_attChange);
    connect(cbb_lim_rel_, &QComboBox::activated, this, &ChannelStrip::cbb_lim_relChange);

    // Giving a pop-up the focus puts it on its first control, where the keys work.
    popups_[GainPopup]->setFocusProxy(rztrckbr_gain_);
    popups_[DelayPopup]->setFocusProxy(rztrckbr_delay_);
    popups_[LimitPopup]->setFocusProxy(cbb_lim_thr_);
    connect(qApp, &QApplication::focusChanged, this, &ChannelStrip::onFocusChanged);

    connect(bridgeItems_[0], &QAction::triggered, this, &ChannelStrip::NoBTL1Click);
    connect(bridgeItems_[1], &QAction::triggered, this, &ChannelStrip::Lowmidbridge1Click);
    connect(bridgeItems_[2], &QAction::triggered, this, &ChannelStrip::highmidbridge1Click);
    connect(bridgeItems_[3], &QAction::triggered, this, &ChannelStrip::LowmidBTLhighlow1Click);
    for (QAction* item : bridgeItems_)
        item->setCheckable(true);
}

bool ChannelStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        rztrckbrClick(watched);
    } else if (event->type() == QEvent::FocusOut) {
        // Switching to another program or opening a menu is not leaving the track bar.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            rztrckbrExit(watched);
    }
    return false;
}

void ChannelStrip::markEdit(int chunk)
{
    editing_.targetChunk = chunk;
    model_.markChunk(chunk);
}

// --- view refresh -----------------------------------------------------------

void ChannelStrip::refresh()
{
    hidePopups();
    for (int k = 0; k < 3; ++k) {
        const int block = outputBlockStart(k);
        showToggle(muteButtons_[k], block + kOutMute, true);
        showToggle(polButtons_[k], block + kOutPolarity, false);
    }
    showToggle(btn_op2_bassp_, outputBlockStart(kLow) + kOutRecoup, true);
    showToggle(btn_in0_pol_, kMainPolarity, false);
    rztrckbr_ingain_->setValue(model_.code16(kMainGain));
    // Also when the position did not move (the label may still show its design text).
    lbl28_->setText(fromStd(gainText(rztrckbr_ingain_->value())));
    applyBridgeMode(model_.image[kBridgeMode]);
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

void ChannelStrip::btn_op0_muteClick(QObject* sender)
{
    hidePopups();
    const int k = outputOf(sender);
    if (k < 0)
        return;
    const int entry = outputBlockStart(k) + kOutMute;
    model_.image[entry] = model_.image[entry] == 1 ? 0 : 1;
    showToggle(muteButtons_[k], entry, true);
    markEdit(outputFirstChunk(k));
}

void ChannelStrip::btn_op0_polClick(QObject* sender)
{
    hidePopups();
    const int k = outputOf(sender);
    if (k < 0)
        return;
    const int entry = outputBlockStart(k) + kOutPolarity;
    model_.image[entry] = model_.image[entry] == 1 ? 0 : 1;
    showToggle(polButtons_[k], entry, false);
    markEdit(outputFirstChunk(k));
}

void ChannelStrip::btn_in0_polClick()
{
    hidePopups();
    model_.image[kMainPolarity] = model_.image[kMainPolarity] == 1 ? 0 : 1;
    showToggle(btn_in0_pol_, kMainPolarity, false);
    markEdit(0);
}

void ChannelStrip::btn_op0_basspClick(QObject* sender)
{
    hidePopups();
    const int k = outputOf(sender);
    if (k < 0)
        return;
    const int entry = outputBlockStart(k) + kOutRecoup;
    model_.image[entry] = model_.image[entry] == 1 ? 0 : 1;
    if (k == kLow)
        showToggle(btn_op2_bassp_, entry, true);
    markEdit(outputFirstChunk(k));
}

// --- pop-ups ----------------------------------------------------------------

void ChannelStrip::hidePopups()
{
    for (QWidget* popup : popups_)
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
    for (int i = 0; i < 3; ++i)
        if (i != which)
            popups_[i]->hide();
    greyFamily(which);
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

void ChannelStrip::btn_op0_gainClick(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return;
    popupOutput_ = k;
    openPopup(GainPopup, gainButtons_[k], outputBlockStart(k) + kOutGain);
}

void ChannelStrip::btn_op0_delayClick(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return;
    openPopup(DelayPopup, delayButtons_[k + 1], outputBlockStart(k) + kOutDelay);
}

void ChannelStrip::btn_in0_delayClick() { openPopup(DelayPopup, delayButtons_[0], kMainDelay); }

void ChannelStrip::btn_op0_limClick(QObject* sender)
{
    const int k = outputOf(sender);
    if (k < 0)
        return;
    openPopup(LimitPopup, limitButtons_[k], outputBlockStart(k) + kOutLimiter);
}

void ChannelStrip::btn_grpbx_gain_closeClick() { popups_[GainPopup]->hide(); }
void ChannelStrip::btn2Click() { popups_[DelayPopup]->hide(); }
void ChannelStrip::btn3Click() { popups_[LimitPopup]->hide(); }

void ChannelStrip::grpbx_gainExit() { greyFamily(GainPopup); }
void ChannelStrip::grpbx_delayExit() { greyFamily(DelayPopup); }
void ChannelStrip::grpbx_limitExit() { greyFamily(LimitPopup); }

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
        case GainPopup: grpbx_gainExit(); break;
        case DelayPopup: grpbx_delayExit(); break;
        case LimitPopup: grpbx_limitExit(); break;
        }
    }
}

// --- track bars and lists ---------------------------------------------------

void ChannelStrip::rztrckbr_gainChange()
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
    model_.setCode16(field, code);
    markEdit(chunkOf(field));
}

void ChannelStrip::rztrckbr_ingainChange()
{
    hidePopups();
    const int code = rztrckbr_ingain_->value();
    lbl28_->setText(fromStd(gainText(code)));
    model_.setCode16(kMainGain, code);
    markEdit(chunkOf(kMainGain));
}

void ChannelStrip::rztrckbr_delayChange()
{
    const int code = rztrckbr_delay_->value();
    albl2_->setText(fromStd(delayText(code)));
    const int field = editing_.targetField;
    if (field < 0 || field + 1 >= kImageSize)
        return;
    model_.setCode16(field, code);
    markEdit(chunkOf(field));
}

void ChannelStrip::applyLimiter(int offset, const QComboBox* list)
{
    const int entry = editing_.targetField + offset;
    if (editing_.targetField < 0 || entry >= kImageSize || list->currentIndex() < 0)
        return;
    model_.image[entry] = list->currentIndex();
    markEdit(chunkOf(editing_.targetField));
}

void ChannelStrip::cbb_lim_thrChange() { applyLimiter(0, cbb_lim_thr_); }
void ChannelStrip::cbb_lim_attChange() { applyLimiter(1, cbb_lim_att_); }
void ChannelStrip::cbb_lim_relChange() { applyLimiter(2, cbb_lim_rel_); }

void ChannelStrip::rztrckbrClick(QObject* sender)
{
    if (sender)
        editing_.bindTrackBar(sender->objectName().toStdString());
}

void ChannelStrip::rztrckbrExit(QObject*)
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

void ChannelStrip::applyBridgeMode(int mode)
{
    switch (mode) {
    case 0: NoBTL1Click(); break;
    case 1: Lowmidbridge1Click(); break;
    case 2: highmidbridge1Click(); break;
    case 3: LowmidBTLhighlow1Click(); break;
    default: break; // an unknown mode leaves the menu and the rows as they are
    }
}

void ChannelStrip::NoBTL1Click() { applyBridgeModeItem(0); }
void ChannelStrip::Lowmidbridge1Click() { applyBridgeModeItem(1); }
void ChannelStrip::highmidbridge1Click() { applyBridgeModeItem(2); }
void ChannelStrip::LowmidBTLhighlow1Click() { applyBridgeModeItem(3); }

void ChannelStrip::applyBridgeModeItem(int mode)
{
    hidePopups();
    model_.image[kBridgeMode] = mode;
    for (int i = 0; i < 4; ++i)
        bridgeItems_[i]->setChecked(i == mode);
    const BridgeLayout& layout = kBridgeLayouts[mode];
    for (QWidget* button : rowButtons_[0])
        button->setVisible(layout.highShown);
    for (QWidget* button : rowButtons_[1])
        button->setVisible(layout.midShown);
    showDrawn(img2_, [kind = icons::Bridge(layout.high)](qreal ratio) { return icons::bridge(kind, ratio); });
    showDrawn(img6_, [kind = icons::Bridge(layout.mid)](qreal ratio) { return icons::bridge(kind, ratio); });
    model_.markChunk(0);
}

} // namespace talvex
