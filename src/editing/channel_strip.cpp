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
#include <QGroupBox>
#include <QPushButton>
#include <QSlider>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QWidget>

#include <algorithm>

namespace talvex {

namespace {

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

ChannelStrip::ChannelStrip(const StripView& view, ParameterEditor& editor, EditingContext& editing)
    : model_(editor.model()), editor_(editor), editing_(editing), view_(view)
{
    setObjectName(QStringLiteral("channelStrip"));
    popups_ = {view_.gainPopup, view_.delayPopup, view_.limiterPopup};
    delayButtons_ = {view_.mainDelay, view_.outputs[0].delay, view_.outputs[1].delay, view_.outputs[2].delay};
    connectControls();
    connect(&editor_, &ParameterEditor::edited, this, [this](const ParameterEdit& edit) { showEdit(edit); });
}

ChannelStrip::~ChannelStrip() = default;

void ChannelStrip::connectControls()
{
    for (int k = 0; k < 3; ++k) {
        const StripView::OutputRow& row = view_.outputs[std::size_t(k)];
        connect(row.mute, &QAbstractButton::clicked, this, [this, k] { toggleMute(k); });
        connect(row.polarity, &QAbstractButton::clicked, this, [this, k] { togglePolarity(k); });
        connect(row.gain, &QAbstractButton::clicked, this, [this, k] { openGainPopup(k); });
        connect(row.delay, &QAbstractButton::clicked, this, [this, k] { openDelayPopup(k); });
        connect(row.limiter, &QAbstractButton::clicked, this, [this, k] { openLimiterPopup(k); });
    }
    connect(view_.recoup, &QAbstractButton::clicked, this, [this] { toggleRecoup(kLow); });
    connect(view_.mainPolarity, &QAbstractButton::clicked, this, &ChannelStrip::toggleMainPolarity);
    connect(view_.mainDelay, &QAbstractButton::clicked, this, &ChannelStrip::openMainDelayPopup);
    connect(view_.gainClose, &QAbstractButton::clicked, this, [this] { hidePopup(GainPopup); });
    connect(view_.delayClose, &QAbstractButton::clicked, this, [this] { hidePopup(DelayPopup); });
    connect(view_.limiterClose, &QAbstractButton::clicked, this, [this] { hidePopup(LimitPopup); });

    for (QSlider* bar : {view_.gainBar, view_.delayBar, view_.mainGain}) {
        connect(bar, &QAbstractSlider::valueChanged, this, [this, bar](int code) { applyBar(bar, code); });
        bar->installEventFilter(this);
    }

    // Only the user's choices are edits: opening the pop-up sets the selections quietly.
    connect(view_.threshold, &QComboBox::activated, this, [this] { applyLimiter(0, view_.threshold); });
    connect(view_.attack, &QComboBox::activated, this, [this] { applyLimiter(1, view_.attack); });
    connect(view_.release, &QComboBox::activated, this, [this] { applyLimiter(2, view_.release); });

    // Giving a pop-up the focus puts it on its first control, where the keys work.
    view_.gainPopup->setFocusProxy(view_.gainBar);
    view_.delayPopup->setFocusProxy(view_.delayBar);
    view_.limiterPopup->setFocusProxy(view_.threshold);
    connect(qApp, &QApplication::focusChanged, this, &ChannelStrip::onFocusChanged);

    for (int mode = 0; mode < 4; ++mode) {
        QAction* item = view_.bridgeModes[std::size_t(mode)];
        connect(item, &QAction::triggered, this, [this, mode] { chooseBridgeMode(mode); });
        item->setCheckable(true);
    }
}

bool ChannelStrip::eventFilter(QObject* watched, QEvent* event)
{
    // A click on a track bar binds the wheel to it; leaving it unbinds.
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        bindWheelToBar(static_cast<QSlider*>(watched));
    } else if (event->type() == QEvent::FocusOut) {
        // Switching to another program or opening a menu is not leaving the track bar.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            editing_.unbind();
            greyFamily(GainPopup);
        }
    }
    return false;
}

// --- showing the image and the edits --------------------------------------

void ChannelStrip::showImage()
{
    hidePopups();
    for (int k = 0; k < 3; ++k) {
        const int block = outputBlockStart(k);
        showToggle(view_.outputs[std::size_t(k)].mute, block + kOutMute, true);
        showToggle(view_.outputs[std::size_t(k)].polarity, block + kOutPolarity, false);
    }
    showToggle(view_.recoup, outputBlockStart(kLow) + kOutRecoup, true);
    showToggle(view_.mainPolarity, kMainPolarity, false);
    {
        const QSignalBlocker quiet(view_.mainGain);
        view_.mainGain->setValue(model_.code16(kMainGain));
    }
    // Also when the position did not move (the label may still show its design text).
    view_.mainGainText->setText(fromStd(gainText(view_.mainGain->value())));
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
            showToggle(view_.outputs[std::size_t(k)].mute, block + kOutMute, true);
        if (edit.touches(block + kOutPolarity))
            showToggle(view_.outputs[std::size_t(k)].polarity, block + kOutPolarity, false);
    }
    if (edit.touches(outputBlockStart(kLow) + kOutRecoup))
        showToggle(view_.recoup, outputBlockStart(kLow) + kOutRecoup, true);
    if (edit.touches(kMainPolarity))
        showToggle(view_.mainPolarity, kMainPolarity, false);
    if (touched(kMainGain)) {
        const QSignalBlocker quiet(view_.mainGain);
        view_.mainGain->setValue(model_.code16(kMainGain));
        view_.mainGainText->setText(fromStd(gainText(model_.code16(kMainGain))));
    }
    if (edit.touches(kBridgeMode) && model_.image[kBridgeMode] >= 0 && model_.image[kBridgeMode] < 4)
        showBridgeMode(model_.image[kBridgeMode]);

    // The open pop-up shows the entries it edits (the one visible pop-up set the target field).
    const int field = editing_.targetField;
    if (field < 0 || field + 2 >= kImageSize)
        return;
    if (!popups_[GainPopup]->isHidden() && touched(field)) {
        const QSignalBlocker quiet(view_.gainBar);
        view_.gainBar->setValue(model_.code16(field));
        view_.gainText->setText(fromStd(gainText(model_.code16(field))));
    }
    if (!popups_[DelayPopup]->isHidden() && touched(field)) {
        const QSignalBlocker quiet(view_.delayBar);
        view_.delayBar->setValue(model_.code16(field));
        view_.delayText->setText(fromStd(delayText(model_.code16(field))));
    }
    if (!popups_[LimitPopup]->isHidden() && (touched(field) || edit.touches(field + 2))) {
        const QSignalBlocker thr(view_.threshold), att(view_.attack), rel(view_.release);
        view_.threshold->setCurrentIndex(model_.image[field]);
        view_.attack->setCurrentIndex(model_.image[field + 1]);
        view_.release->setCurrentIndex(model_.image[field + 2]);
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
    editor_.apply(ParameterEdit(std::move(label)).set(entry, model_.image[entry] == 1 ? 0 : 1));
}

void ChannelStrip::toggleMute(int k)
{
    toggle(outputBlockStart(k) + kOutMute, channelName(k + 1) + " mute");
}

void ChannelStrip::togglePolarity(int k)
{
    toggle(outputBlockStart(k) + kOutPolarity, channelName(k + 1) + " polarity");
}

void ChannelStrip::toggleMainPolarity() { toggle(kMainPolarity, "Main polarity"); }

void ChannelStrip::toggleRecoup(int k)
{
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
    case GainPopup:
        for (const StripView::OutputRow& row : view_.outputs)
            setButtonColour(row.gain, kButtonGrey);
        break;
    case DelayPopup: grey(delayButtons_); break;
    case LimitPopup:
        for (const StripView::OutputRow& row : view_.outputs)
            setButtonColour(row.limiter, kButtonGrey);
        break;
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
    const QWidget* strip = view_.group;
    popup->move(strip->x() + clicked->x() + clicked->width(), strip->y() + clicked->y() + clicked->height() - 3);
    popup->show();
    popup->raise();

    editing_.targetField = field;

    // Moving a track bar to the stored code runs its change handler only when the
    // position changes; the handler writes a clamped code back.
    switch (which) {
    case GainPopup:
        view_.gainBar->setValue(model_.code16(field));
        view_.gainText->setText(fromStd(gainText(view_.gainBar->value()))); // also when it did not move
        break;
    case DelayPopup:
        view_.delayBar->setValue(model_.code16(field));
        view_.delayText->setText(fromStd(delayText(view_.delayBar->value())));
        break;
    case LimitPopup: {
        const QSignalBlocker thr(view_.threshold), att(view_.attack), rel(view_.release);
        view_.threshold->setCurrentIndex(model_.image[field]);
        view_.attack->setCurrentIndex(model_.image[field + 1]);
        view_.release->setCurrentIndex(model_.image[field + 2]);
        break;
    }
    }
    popup->setFocus(Qt::OtherFocusReason);
}

void ChannelStrip::openGainPopup(int k)
{
    popupOutput_ = k;
    openPopup(GainPopup, view_.outputs[std::size_t(k)].gain, outputBlockStart(k) + kOutGain);
}

void ChannelStrip::openDelayPopup(int k)
{
    openPopup(DelayPopup, delayButtons_[std::size_t(k + 1)], outputBlockStart(k) + kOutDelay);
}

void ChannelStrip::openMainDelayPopup() { openPopup(DelayPopup, delayButtons_[0], kMainDelay); }

void ChannelStrip::openLimiterPopup(int k)
{
    openPopup(LimitPopup, view_.outputs[std::size_t(k)].limiter, outputBlockStart(k) + kOutLimiter);
}

void ChannelStrip::onFocusChanged(QWidget* old, QWidget* now)
{
    for (int i = 0; i < 3; ++i) {
        QWidget* popup = popups_[i];
        if (!old || !within(old, popup) || (now && within(now, popup)))
            continue;
        // The focus left for another program or window: the pop-up keeps it.
        if (now ? now->window() != popup->window() : popup->isVisible())
            continue;
        greyFamily(Popup(i));
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
void ChannelStrip::applyTrackBar(int field, int code, const char* what, const char* key)
{
    // The merge key is appended piece by piece: GCC 12 takes const char* + std::string&& for an overlapping copy.
    std::string mergeKey = key;
    mergeKey += ':';
    mergeKey += std::to_string(field);
    editor_.apply(ParameterEdit(popupLabel(field, what), mergeKey).set16(field, code));
}

void ChannelStrip::applyBar(QSlider* bar, int code)
{
    if (bar == view_.mainGain) {
        hidePopups();
        view_.mainGainText->setText(fromStd(gainText(code)));
        applyTrackBar(kMainGain, code, "gain", "rztrckbr_ingain");
        return;
    }
    const bool gain = bar == view_.gainBar;
    if (gain && popupOutput_ == kLow && code > kLowGainLimit) {
        const QSignalBlocker quiet(bar);
        bar->setValue(kLowGainLimit);
        code = kLowGainLimit;
    }
    (gain ? view_.gainText : view_.delayText)->setText(fromStd(gain ? gainText(code) : delayText(code)));
    const int field = editing_.targetField;
    if (field < 0 || field + 1 >= kImageSize)
        return;
    applyTrackBar(field, code, gain ? "gain" : "delay", gain ? "rztrckbr_gain" : "rztrckbr_delay");
}

// A notch moves the bar's code one step within the bar's range and edits it
// as the bar would; the edit then sets the bar.
void ChannelStrip::bindWheelToBar(QSlider* bar)
{
    const int entry = bar == view_.mainGain ? kMainGain : editing_.targetField;
    editing_.bindWheel({bar, entry, [this, bar](int direction) {
                            const int code = std::clamp(bar->value() + direction, bar->minimum(), bar->maximum());
                            if (code == bar->value())
                                return;
                            const QSignalBlocker quiet(bar); // the edit is made once, here
                            bar->setValue(code);
                            applyBar(bar, code);
                        }});
}

void ChannelStrip::applyLimiter(int offset, const QComboBox* list)
{
    const int entry = editing_.targetField + offset;
    if (editing_.targetField < 0 || entry >= kImageSize || list->currentIndex() < 0)
        return;
    static const char* const names[3] = {"limiter threshold", "limiter attack", "limiter release"};
    editor_.apply(ParameterEdit(popupLabel(editing_.targetField, names[offset])).set(entry, list->currentIndex()));
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
    const auto rowButtons = [this](int row) {
        const StripView::OutputRow& r = view_.outputs[std::size_t(row)];
        return std::array<QWidget*, 6>{r.mute, r.gain, r.eq, r.limiter, r.delay, r.polarity};
    };
    for (int i = 0; i < 4; ++i)
        view_.bridgeModes[std::size_t(i)]->setChecked(i == mode);
    const BridgeLayout& layout = kBridgeLayouts[std::size_t(mode)];
    for (int row = 0; row < 2; ++row)
        if (!(row == 0 ? layout.highShown : layout.midShown))
            for (QWidget* button : rowButtons(row))
                releaseFocus(button, nullptr);
    for (QWidget* button : rowButtons(0))
        button->setVisible(layout.highShown);
    for (QWidget* button : rowButtons(1))
        button->setVisible(layout.midShown);
    showDrawn(view_.highFeed, [kind = icons::Bridge(layout.high)](qreal ratio) { return icons::bridge(kind, ratio); });
    showDrawn(view_.midFeed, [kind = icons::Bridge(layout.mid)](qreal ratio) { return icons::bridge(kind, ratio); });
}

} // namespace talvex
