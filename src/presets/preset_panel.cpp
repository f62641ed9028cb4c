#include "presets/preset_panel.h"

#include "link/frame.h"
#include "link/reply_handlers.h"
#include "model/value_tables.h"
#include "presets/group_transfer.h"
#include "ui/prompts.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPushButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QValidator>

namespace talvex {

namespace {

bool printable(QChar c) { return c.unicode() >= 32 && c.unicode() <= 126; }

qsizetype unprintableCount(const QString& text)
{
    return std::count_if(text.begin(), text.end(), [](QChar c) { return !printable(c); });
}

// Typed and pasted text: at most 19 characters, printable ASCII only. A stored
// name shown in the box may be longer or hold other codes; editing it may
// shorten it and remove them, never add to them. The box has already changed
// when its validator is asked, so the text before the edit is kept here.
class NameValidator : public QValidator {
public:
    explicit NameValidator(QLineEdit* box) : QValidator(box), before_(box->text())
    {
        connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { before_ = text; });
    }
    State validate(QString& input, int&) const override
    {
        const bool lengthOk = input.size() <= PresetPanel::kNameMaxTyped || input.size() < before_.size();
        return lengthOk && unprintableCount(input) <= unprintableCount(before_) ? Acceptable : Invalid;
    }

private:
    QString before_;
};

} // namespace

PresetPanel::PresetPanel(const PresetsContext& context, GroupTransfer& transfer, const PresetsView& view,
                         QObject* parent)
    : QObject(parent), ctx_(context), transfer_(transfer), view_(view)
{

    // The box shows a stored name whole (20 characters); the validator keeps
    // typing to 19.
    view_.saveName->setMaxLength(kPresetNameLength);
    view_.saveName->setValidator(new NameValidator(view_.saveName));
    view_.saveName->installEventFilter(this);

    connect(view_.load, &QAbstractButton::clicked, this, &PresetPanel::loadPreset);
    connect(view_.save, &QAbstractButton::clicked, this, &PresetPanel::savePreset);
    // The user's choice only: the slot the system record selects leaves the box alone.
    connect(view_.saveList, &QComboBox::activated, this, &PresetPanel::chooseSaveSlot);
    ctx_.sender->setPresetNameWriter([this] { writePresetName(); });
}

std::optional<int> PresetPanel::selectedPreset(const QComboBox* list)
{
    const int item = list->currentIndex();
    if (item < 0)
        return std::nullopt;
    return item + 1;
}

void PresetPanel::loadPreset()
{
    ctx_.hidePopups();
    if (!(*ctx_.link != LinkState::Closed) || transfer_.refuseWhileBusy())
        return;
    ctx_.showProgress(true);
    ctx_.supervision->pauseSupervision();
    transfer_.presetLoadStarted();
    transfer_.afterPause(kLoadPauseMs, [this] {
        // The device loads preset n and answers with its group; the group reply
        // shows it and starts the send-pulse timer and the watchdog again.
        const int n = view_.loadList->currentIndex() + 1;
        ctx_.sender->sendRead(n, frame::kCmdCurrentGroup, 0);
        ctx_.model->systemRecord[0] = n;
    });
}

void PresetPanel::chooseSaveSlot()
{
    const auto n = selectedPreset(view_.saveList);
    if (!n || *n > kPresetCount) {
        view_.saveName->clear();
        return;
    }
    const std::string shown = replies::presetDisplayName(ctx_.model->presetNames[std::size_t(*n - 1)]);
    view_.saveName->setText(QString::fromLatin1(shown.data(), qsizetype(shown.size())));
}

void PresetPanel::savePreset()
{
    if (!(*ctx_.link != LinkState::Closed))
        return;
    ctx_.hidePopups();
    const QString trimmed = view_.saveName->text().trimmed();
    view_.saveName->setText(trimmed);
    const auto n = selectedPreset(view_.saveList);
    if (!n || *n > kPresetCount) {
        // No slot chosen: there is no name to write.
        ctx_.prompts->message(QStringLiteral("Choose a preset slot to save to first."));
        return;
    }
    ctx_.model->systemRecord[0] = *n;
    const QByteArray bytes = trimmed.toLatin1();
    auto& name = ctx_.model->presetNames[std::size_t(*n - 1)];
    name.fill(' ');
    std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), kPresetNameLength), name.begin());
    ctx_.model->markChunk(kPresetNameChunk);
    if (*n <= view_.loadList->count()) {
        view_.loadList->setItemText(*n - 1, QString::fromLatin1(kPresetLabelPrefixes[std::size_t(*n - 1)]) +
                                               u':' + trimmed);
        view_.loadList->setCurrentIndex(*n - 1);
    }
}

void PresetPanel::writePresetName()
{
    if (!(*ctx_.link != LinkState::Closed))
        return;
    ctx_.supervision->stopSendPulse();
    ctx_.sender->sendPresetName();
    transfer_.afterPause(kNamePauseMs, [this] {
        ctx_.supervision->startSendPulse();
        ctx_.model->pending[kPresetNameChunk] = false;
        // No reply is awaited: the message only says that the name went out.
        ctx_.prompts->message(QStringLiteral("Save success!!"));
        transfer_.afterPause(kNamePauseMs, [this] {
            if (ctx_.sender->broadcast) {
                // Read the saved settings back from the selected device.
                ctx_.sender->readBackOverride = true;
                ctx_.sender->sendRead(0, frame::kCmdCurrentGroup, 0);
            }
        });
    });
}

bool PresetPanel::nameKeyPress(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        savePreset();
        return true;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    // Shortcuts (copy, paste, select all) work; what they insert is checked by
    // the validator.
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !std::all_of(text.begin(), text.end(), printable);
}

void PresetPanel::selectWholeName() { view_.saveName->selectAll(); }

bool PresetPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_.saveName) {
        if (event->type() == QEvent::KeyPress)
            return nameKeyPress(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::MouseButtonRelease)
            QTimer::singleShot(0, this, &PresetPanel::selectWholeName);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace talvex
