#include "editing/eq_page.h"

#include "editing/edit_labels.h"
#include "model/number_text.h"
#include "model/parameter_model.h"
#include "model/value_tables.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>
#include <vector>

namespace talvex {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

EntryKind entryKind(EditingContext::BoxKind kind)
{
    switch (kind) {
    case EditingContext::BoxKind::BandGain: return EntryKind::Gain;
    case EditingContext::BoxKind::BandQ: return EntryKind::Q;
    default: return EntryKind::Frequency;
    }
}

bool isBand(EditingContext::BoxKind kind)
{
    return kind != EditingContext::BoxKind::HpfFrequency && kind != EditingContext::BoxKind::LpfFrequency;
}

bool isWide(EditingContext::BoxKind kind)
{
    return kind == EditingContext::BoxKind::BandGain || kind == EditingContext::BoxKind::BandQ;
}

// Page channel of an image entry: 0 Main, 1 High, 2 Mid, 3 Low; -1 the tail.
int channelOfEntry(int entry)
{
    if (entry < 0)
        return -1;
    if (entry < kMainBlockSize)
        return 0;
    const int output = (entry - kMainBlockSize) / kOutputBlockSize;
    return output < 3 ? output + 1 : -1;
}

std::string fieldLabel(int channel, int field)
{
    const int crossover = field - crossoverRecord(channel);
    if (crossover >= 0 && crossover < 8)
        return crossoverEditLabel(channel, crossover < 4 ? 0 : 1, crossover % 4 == kHpfType);
    return bandEditLabel(channel, (field - bandRecord(channel, 0)) / 8);
}

enum class TextHistoryKey { None, Undo, Redo };

// Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y: on every platform, whatever its key bindings.
TextHistoryKey textHistoryKey(const QKeyEvent& key)
{
    const QKeySequence pressed(key.keyCombination());
    if (pressed == QKeySequence(Qt::CTRL | Qt::Key_Z))
        return TextHistoryKey::Undo;
    if (pressed == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) || pressed == QKeySequence(Qt::CTRL | Qt::Key_Y))
        return TextHistoryKey::Redo;
    return TextHistoryKey::None;
}

const char* const kPageCaptions[4] = {"Current : MAIN ", "Current : High", "Current : Mid ", "Current : Low "};

} // namespace

EqPage::EqPage(const EqPageView& view, ParameterEditor& editor, EditingContext& editing, QObject* parent)
    : QObject(parent), model_(editor.model()), editor_(editor), editing_(editing), view_(view)
{
    graph_ = new ResponseGraph(view, editor, editing, this);
    connect(graph_, &ResponseGraph::hidePopupsRequested, this, &EqPage::hidePopupsRequested);
    connect(graph_, &ResponseGraph::qBoxTaken, this, [this](int band) { bindBox(boxes_.at(view_.bandQ[std::size_t(band)])); });
    connect(&editor_, &ParameterEditor::edited, this, [this](const ParameterEdit& edit, ParameterEditor::Origin origin) {
        // A step undone or redone shows on its own channel's page.
        if (origin == ParameterEditor::Origin::Replay)
            showPageOf(edit);
        showEdit(edit);
    });

    boxes_[view_.hpfFrequency] = {Kind::HpfFrequency, 0, view_.hpfFrequency};
    boxes_[view_.lpfFrequency] = {Kind::LpfFrequency, 0, view_.lpfFrequency};
    for (int j = 0; j < 10; ++j) {
        const auto at = std::size_t(j);
        boxes_[view_.bandFrequency[at]] = {Kind::BandFrequency, j, view_.bandFrequency[at]};
        boxes_[view_.bandGain[at]] = {Kind::BandGain, j, view_.bandGain[at]};
        boxes_[view_.bandQ[at]] = {Kind::BandQ, j, view_.bandQ[at]};
        connect(view_.bandType[at], &QComboBox::activated, this, [this, j] { chooseBandType(j); });
    }
    for (auto& [object, box] : boxes_)
        box.edit->installEventFilter(this);
    // Only a user's choice runs the type change; the page selection sets the lists quietly.
    connect(view_.hpfType, &QComboBox::activated, this, [this] { chooseCrossoverType(0); });
    connect(view_.lpfType, &QComboBox::activated, this, [this] { chooseCrossoverType(1); });

    for (int c = 0; c < 4; ++c)
        connect(view_.pageButtons[std::size_t(c)], &QAbstractButton::clicked, this, [this, c] { selectPage(c); });
}

// --- page selection -------------------------------------------------------------

void EqPage::selectPage(int channel)
{
    if (channel < 0 || channel > 3)
        return;
    emit hidePopupsRequested();
    showPage(channel);
}

void EqPage::showImage() { showPage(0); }

void EqPage::showPage(int channel)
{
    // A drag cannot outlive its page (showing the image may switch pages under it):
    // its moves would edit one channel's band and draw it into another's curve.
    graph_->resetDrag();
    model_.pageChannel = channel;
    view_.channelCaption->setText(QString::fromLatin1(kPageCaptions[channel]));

    const auto select = [](QComboBox* list, int code) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(code < list->count() ? code : -1);
    };
    for (auto& [object, box] : boxes_) {
        const QSignalBlocker quiet(box.edit);
        box.edit->setText(storedText(box));
    }
    for (int j = 0; j < 10; ++j)
        select(view_.bandType[std::size_t(j)], model_.image[bandRecord(channel, j) + kBandType]);
    const int crossover = crossoverRecord(channel);
    select(view_.hpfType, model_.image[crossover + kHpfType]);
    select(view_.lpfType, model_.image[crossover + kLpfType]);

    graph_->recomputeChannel(channel);
    graph_->drawCurve(channel);

    // A box bound while the page changes under it (showing the image switches to
    // Main) is bound again on this page: the wheel, the keys and typing all edit
    // the entry the box now shows.
    const auto focused = boxes_.find(QApplication::focusWidget());
    if (focused != boxes_.end() && editing_.wheelControl() == focused->second.edit)
        bindBox(focused->second);
}

// The page's text of a box's stored value: frequencies and gains with one
// decimal ("1000.0", "-4.0"), Q as a general number ("4.072").
QString EqPage::storedText(const Box& box) const
{
    const double value = entryValue(entryKind(box.kind), codeAt(box.kind, fieldOf(box)));
    return text(box.kind == Kind::BandQ ? generalNumberText(value) : oneDecimalText(value));
}

void EqPage::showPageOf(const ParameterEdit& edit)
{
    if (edit.entries.empty())
        return;
    const int entry = edit.entries.front().entry;
    const int c = channelOfEntry(entry);
    if (c < 0 || c == model_.pageChannel)
        return;
    const int crossover = entry - crossoverRecord(c);
    const int banded = entry - bandRecord(c, 0);
    if ((crossover >= 0 && crossover < 8) || (banded >= 0 && banded < 80))
        showPage(c);
}

// The box (or, for a type entry, nothing: the list is set apart) that shows
// `field` of channel `channel`'s records while that channel's page is shown.
QLineEdit* EqPage::boxOfField(int channel, int field) const
{
    const int crossover = field - crossoverRecord(channel);
    if (crossover == kHpfFrequency)
        return view_.hpfFrequency;
    if (crossover == kLpfFrequency)
        return view_.lpfFrequency;
    const int banded = field - bandRecord(channel, 0);
    if (banded < 0 || banded >= 80)
        return nullptr;
    switch (banded % 8) {
    case kBandFrequency: return view_.bandFrequency[std::size_t(banded / 8)];
    case kBandGain: return view_.bandGain[std::size_t(banded / 8)];
    case kBandQ: return view_.bandQ[std::size_t(banded / 8)];
    default: return nullptr;
    }
}

void EqPage::showEdit(const ParameterEdit& edit)
{
    // Each filter or band the edit touches is recomputed once, in the channel
    // that owns the entries (not necessarily the page's); the page's own boxes
    // show the new values as general number text.
    std::vector<std::pair<int, int>> recomputed; // (channel, 0 HPF / 1 LPF / 2 + band)
    bool pageChanged = false;
    for (const EntryChange& change : edit.entries) {
        const int c = channelOfEntry(change.entry);
        if (c < 0)
            continue;
        const int crossover = change.entry - crossoverRecord(c);
        const int banded = change.entry - bandRecord(c, 0);
        int part = -1;
        if (crossover >= 0 && crossover < 8)
            part = crossover < 4 ? 0 : 1;
        else if (banded >= 0 && banded < 80)
            part = 2 + banded / 8;
        else
            continue;
        if (std::find(recomputed.begin(), recomputed.end(), std::pair(c, part)) == recomputed.end()) {
            recomputed.emplace_back(c, part);
            if (part < 2)
                graph_->recomputeCrossover(c, part);
            else
                graph_->recomputeBand(c, part - 2);
        }
        if (c != model_.pageChannel)
            continue;
        pageChanged = true;
        // The low entry of a 16-bit code names its box.
        const int offset = part < 2 ? crossover % 4 : banded % 8;
        const int field = (offset == kBandGain + 1 || offset == kBandQ + 1) && part >= 2 ? change.entry - 1
                                                                                          : change.entry;
        if (QLineEdit* box = boxOfField(c, field)) {
            const Kind kind = boxes_.at(box).kind;
            const QSignalBlocker quiet(box);
            box->setText(text(generalNumberText(entryValue(entryKind(kind), codeAt(kind, field)))));
        } else if (part < 2 && offset == kHpfType) {
            QComboBox* list = part == 0 ? view_.hpfType : view_.lpfType;
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(model_.image[change.entry]);
        } else if (part >= 2 && offset == kBandType) {
            QComboBox* list = view_.bandType[std::size_t(part - 2)];
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(model_.image[change.entry]);
        }
    }
    if (pageChanged)
        graph_->drawCurve(model_.pageChannel);
}

// --- boxes ------------------------------------------------------------------------

int EqPage::fieldOf(const Box& box) const
{
    const int c = model_.pageChannel;
    switch (box.kind) {
    case Kind::HpfFrequency: return crossoverRecord(c) + kHpfFrequency;
    case Kind::LpfFrequency: return crossoverRecord(c) + kLpfFrequency;
    case Kind::BandFrequency: return bandRecord(c, box.band) + kBandFrequency;
    case Kind::BandGain: return bandRecord(c, box.band) + kBandGain;
    case Kind::BandQ: return bandRecord(c, box.band) + kBandQ;
    }
    return 0;
}

int EqPage::codeAt(Kind kind, int field) const
{
    return isWide(kind) ? model_.code16(field) : model_.image[field];
}

void EqPage::editField(int field, Kind kind, int code)
{
    const int c = channelOfEntry(field);
    if (c < 0)
        return;
    // Keys, typing and the wheel on one box are one control.
    ParameterEdit edit(fieldLabel(c, field), "box:" + std::to_string(field));
    if (isWide(kind))
        edit.set16(field, code);
    else
        edit.set(field, code);
    editor_.apply(std::move(edit));
}

// Designates the box's entry and binds the wheel to step its code.
void EqPage::bindBox(const Box& box)
{
    const int field = editing_.designateBox(box.kind, box.band, model_.pageChannel);
    editing_.bindWheel({box.edit, field, [this, kind = box.kind, field](int direction) {
                            editField(field, kind, steppedCode(codeAt(kind, field), direction, highestCode(kind)));
                        }});
}

void EqPage::boxEnter(const Box& box)
{
    if (isBand(box.kind)) {
        // The graph hands the focus to the dragged band's box; the drag owns the context.
        if (!graph_->dragging())
            boxMouseUp(box);
        return;
    }
    bindBox(box);
}

void EqPage::boxMouseUp(const Box& box)
{
    emit hidePopupsRequested();
    box.edit->selectAll(); // typing replaces the whole text
    bindBox(box);
}

void EqPage::boxKeyDown(const Box& box, int key)
{
    const int field = fieldOf(box);
    int code = codeAt(box.kind, field);
    if (key == Qt::Key_Up && code < highestCode(box.kind))
        ++code;
    else if (key == Qt::Key_Down && code > 0)
        --code;
    else
        return;
    editField(field, box.kind, code); // the edit rewrites the box
}

// The key filter: Escape cancels, Enter commits, and only the characters a
// number of the box's kind may hold reach the box.
bool EqPage::boxKeyPress(const Box& box, const QKeyEvent& key)
{
    if (key.key() == Qt::Key_Escape) {
        cancel(box);
        return true;
    }
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        commit(box, true);
        return true; // the box never sees the Enter
    }
    if (const TextHistoryKey history = textHistoryKey(key); history != TextHistoryKey::None) {
        history == TextHistoryKey::Undo ? box.edit->undo() : box.edit->redo();
        return true;
    }
    // Shortcuts (copy, paste, select all) and keys that type nothing pass;
    // whatever text they bring is checked when it is committed.
    if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString typed = key.text();
    if (typed.isEmpty() || !typed.at(0).isPrint())
        return false; // Backspace, Tab, Delete, arrows, ...
    for (const QChar c : typed)
        if (c.unicode() > 0x7f || !acceptsCharacter(entryKind(box.kind), char(c.unicode())))
            return true;
    return false;
}

// Focus leaving commits and unbinds the wheel.
void EqPage::boxExit(const Box& box)
{
    if (graph_->exitDetached(box.edit))
        return;
    // A band frequency box commits only while the context still designates a band frequency.
    if (box.kind != Kind::BandFrequency || editing_.targetField == editing_.targetRecord)
        commit(box, false);
    editing_.unbind();
}

void EqPage::cancel(const Box& box)
{
    const QSignalBlocker quiet(box.edit);
    box.edit->setText(storedText(box));
    box.edit->selectAll();
    cancelledBox_ = box.edit;
    cancelledText_ = box.edit->text();
}

void EqPage::commit(const Box& box, bool byEnter)
{
    const bool cancelled = cancelledBox_ == box.edit && box.edit->text() == cancelledText_;
    cancelledBox_ = nullptr;
    if (cancelled)
        return;
    const int field = fieldOf(box);
    const int code = codeAt(box.kind, field);
    std::string typed = box.edit->text().toStdString();
    const int accepted = applyEntryRule(entryKind(box.kind), typed, code);
    if (accepted != code)
        editField(field, box.kind, accepted);
    // Whatever was typed ("4", "20100", "-4"), the box shows the value stored.
    const QSignalBlocker quiet(box.edit);
    box.edit->setText(storedText(box));
    if (byEnter && isBand(box.kind))
        box.edit->selectAll();
}

bool EqPage::eventFilter(QObject* watched, QEvent* event)
{
    const auto found = boxes_.find(watched);
    if (found == boxes_.end())
        return false;
    const Box& box = found->second;
    if (event->type() == QEvent::ShortcutOverride) {
        // While the box holds typing, Ctrl+Z and Ctrl+Shift+Z (Ctrl+Y) take it
        // back and forth, as in any text box; otherwise they go to the Edit
        // menu and take back or redo the last edit. Accepted, the key goes on
        // to the box (boxKeyPress); ignored, to the menu.
        if (textHistoryKey(*static_cast<QKeyEvent*>(event)) == TextHistoryKey::None)
            return false;
        event->setAccepted(box.edit->isUndoAvailable());
        return true;
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        // A context menu opening over the box, or the user switching to another
        // program, does not move the focus away from the box within the window.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            return false;
    }
    switch (event->type()) {
    case QEvent::FocusIn:
        boxEnter(box);
        return false;
    case QEvent::FocusOut:
        boxExit(box);
        return false;
    case QEvent::MouseButtonRelease: {
        if (forwardingRelease_ == watched)
            return false;
        // The box handles the release first (it may end a selection there), then
        // the whole text is selected and the box bound.
        forwardingRelease_ = watched;
        QCoreApplication::sendEvent(watched, event);
        forwardingRelease_ = nullptr;
        boxMouseUp(box);
        return true;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
            boxKeyDown(box, key->key()); // the box gets the key as well
        return boxKeyPress(box, *key);
    }
    default:
        return false;
    }
}

// --- type lists -------------------------------------------------------------------

void EqPage::chooseCrossoverType(int filter)
{
    emit hidePopupsRequested();
    const int c = model_.pageChannel;
    QComboBox* list = filter == 0 ? view_.hpfType : view_.lpfType;
    if (list->currentIndex() < 0)
        return;
    const int typeEntry = crossoverRecord(c) + (filter == 0 ? kHpfType : kLpfType);
    editing_.targetField = typeEntry;
    editor_.apply(ParameterEdit(crossoverEditLabel(c, filter, true)).set(typeEntry, list->currentIndex()));
}

void EqPage::chooseBandType(int j)
{
    if (j < 0 || j > 9 || view_.bandType[std::size_t(j)]->currentIndex() < 0)
        return;
    const QComboBox* list = view_.bandType[std::size_t(j)];
    emit hidePopupsRequested();
    const int c = model_.pageChannel;
    editing_.bandNumber = j;
    editing_.targetRecord = bandRecord(c, j);
    editing_.targetField = editing_.targetRecord + kBandType;
    editing_.unbind();
    editor_.apply(ParameterEdit(bandEditLabel(c, j)).set(editing_.targetField, list->currentIndex()));
}

} // namespace talvex
