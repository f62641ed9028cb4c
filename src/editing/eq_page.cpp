#include "editing/eq_page.h"

#include "model/number_text.h"
#include "model/parameter_model.h"
#include "model/value_tables.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace talvex {

namespace {

QString digitName(const char* prefix, int j) { return QString::fromLatin1(prefix) + QChar(u'0' + j); }
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

const char* const kPageCaptions[4] = {"Current : MAIN ", "Current : High", "Current : Mid ", "Current : Low "};

} // namespace

EqPage::EqPage(QWidget* root, ParameterModel& model, EditingContext& editing, QObject* parent)
    : QObject(parent), model_(model), editing_(editing)
{
    graph_ = new ResponseGraph(root, model, editing, this);
    connect(graph_, &ResponseGraph::hidePopupsRequested, this, &EqPage::hidePopupsRequested);

    lbl_cur_ch_ = need<QLabel>(root, QStringLiteral("lbl_cur_ch"));
    edt_op3hpf_freq_ = need<QLineEdit>(root, QStringLiteral("edt_op3hpf_freq"));
    edt_op3lpf_freq_ = need<QLineEdit>(root, QStringLiteral("edt_op3lpf_freq"));
    cbb_op3hpf_type_ = need<QComboBox>(root, QStringLiteral("cbb_op3hpf_type"));
    cbb_op3lpf_type_ = need<QComboBox>(root, QStringLiteral("cbb_op3lpf_type"));
    boxes_[edt_op3hpf_freq_] = {Kind::HpfFrequency, 0, edt_op3hpf_freq_};
    boxes_[edt_op3lpf_freq_] = {Kind::LpfFrequency, 0, edt_op3lpf_freq_};
    for (int j = 0; j < 10; ++j) {
        freqBoxes_[j] = need<QLineEdit>(root, digitName("edt_op3eq_freq_0", j));
        gainBoxes_[j] = need<QLineEdit>(root, digitName("edt_op3eq_gain_0", j));
        qBoxes_[j] = need<QLineEdit>(root, digitName("edt_op3eq_qval_0", j));
        typeLists_[j] = need<QComboBox>(root, digitName("cbb_op3eq_type_0", j));
        boxes_[freqBoxes_[j]] = {Kind::BandFrequency, j, freqBoxes_[j]};
        boxes_[gainBoxes_[j]] = {Kind::BandGain, j, gainBoxes_[j]};
        boxes_[qBoxes_[j]] = {Kind::BandQ, j, qBoxes_[j]};
        QComboBox* list = typeLists_[j];
        connect(list, &QComboBox::activated, this, [this, list] { cbb_op3eq_type_00Change(list); });
    }
    for (auto& [object, box] : boxes_)
        box.edit->installEventFilter(this);
    // Only a user's choice runs the type change; the page selection sets the lists quietly.
    connect(cbb_op3hpf_type_, &QComboBox::activated, this, &EqPage::cbb_op3hpf_typeChange);
    connect(cbb_op3lpf_type_, &QComboBox::activated, this, &EqPage::cbb_op3lpf_typeChange);

    auto* in0 = need<QAbstractButton>(root, QStringLiteral("btn_in0_eq"));
    connect(in0, &QAbstractButton::clicked, this, &EqPage::btn_in0_eqClick);
    for (int k = 0; k < 3; ++k) {
        auto* button = need<QAbstractButton>(root, QStringLiteral("btn_op%1_eq").arg(k));
        connect(button, &QAbstractButton::clicked, this, [this, button] { btn_op0_eqClick(button); });
    }

    editing_.setApply("edt_hpf_freqChange", [this] { edt_hpf_freqChange(); });
    editing_.setApply("edt_lpf_freqChange", [this] { edt_lpf_freqChange(); });
    editing_.setApply("edt_eq_freqChange", [this] { edt_eq_freqChange(); });
    editing_.setApply("edt_eq_gainChange", [this] { edt_eq_gainChange(); });
    editing_.setApply("edt_eq_qvalChange", [this] { edt_eq_qvalChange(); });
}

// --- page selection -------------------------------------------------------------

void EqPage::btn_op0_eqClick(QAbstractButton* sender)
{
    // The output digit is the seventh character of the button's name.
    const QString name = sender ? sender->objectName() : QString();
    const int k = name.size() > 6 ? name.at(6).digitValue() : -1;
    if (k < 0 || k > 2)
        return;
    showPage(k + 1);
}

void EqPage::btn_in0_eqClick() { showPage(0); }

void EqPage::showPage(int channel)
{
    emit hidePopupsRequested();
    // A drag cannot outlive its page (a view refresh may switch pages under it):
    // its moves would edit one channel's band and draw it into another's curve.
    graph_->resetDrag();
    model_.pageChannel = channel;
    lbl_cur_ch_->setText(QString::fromLatin1(kPageCaptions[channel]));

    const auto select = [](QComboBox* list, int code) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(code < list->count() ? code : -1);
    };
    for (int j = 0; j < 10; ++j) {
        const int record = bandRecord(channel, j);
        freqBoxes_[j]->setText(text(oneDecimalText(frequencyAt(model_.image[record + kBandFrequency]))));
        select(typeLists_[j], model_.image[record + kBandType]);
        gainBoxes_[j]->setText(text(oneDecimalText(eqGainAt(model_.code16(record + kBandGain)))));
        qBoxes_[j]->setText(text(generalNumberText(qAt(model_.code16(record + kBandQ)))));
    }
    const int crossover = crossoverRecord(channel);
    edt_op3hpf_freq_->setText(text(oneDecimalText(frequencyAt(model_.image[crossover + kHpfFrequency]))));
    select(cbb_op3hpf_type_, model_.image[crossover + kHpfType]);
    edt_op3lpf_freq_->setText(text(oneDecimalText(frequencyAt(model_.image[crossover + kLpfFrequency]))));
    select(cbb_op3lpf_type_, model_.image[crossover + kLpfType]);

    graph_->recomputeChannel(channel);
    graph_->DrawHLpfEQCurve(channel);
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

int EqPage::chunkOf(const Box& box) const
{
    return isBand(box.kind) ? bandChunk(model_.pageChannel, box.band) : crossoverChunk(model_.pageChannel);
}

int EqPage::codeAt(Kind kind, int field) const
{
    return isWide(kind) ? model_.code16(field) : model_.image[field];
}

void EqPage::storeCode(Kind kind, int field, int code)
{
    if (isWide(kind))
        model_.setCode16(field, code);
    else
        model_.image[field] = code;
}

void EqPage::recomputeAndMark(const Box& box)
{
    const int c = model_.pageChannel;
    if (isBand(box.kind)) {
        graph_->EQ_CalParamtr_DrawCurve_Setflg(box.band, c, chunkOf(box), bandRecord(c, box.band));
        return;
    }
    const int field = fieldOf(box);
    graph_->HLPF_CalParamtr_DrawCurve_Setflg(box.kind == Kind::HpfFrequency ? 0 : 1, model_.image[field],
                                             model_.image[field + 1], c, chunkOf(box));
}

// Focus enters: edt_op3hpf_freqEnter, edt_op3lpf_freqEnter, edt_op3eq_freq_00Enter,
// edt_op3eq_gain_00Enter, edt_op3eq_qval_00Enter.
void EqPage::boxEnter(const Box& box)
{
    if (isBand(box.kind)) {
        // The graph hands the focus to the dragged band's box; the drag owns the context.
        if (!graph_->dragging())
            boxMouseUp(box);
        return;
    }
    editing_.bindBox(box.kind, box.band, model_.pageChannel, box.edit->objectName().toStdString());
}

// Mouse button released: edt_op3hpf_freqMouseUp, edt_op3lpf_freqMouseUp,
// edt_op0eq_freq_00MouseUp, edt_op0eq_gain_00MouseUp, edt_op0eq_qval_00MouseUp.
void EqPage::boxMouseUp(const Box& box)
{
    emit hidePopupsRequested();
    box.edit->selectAll(); // typing replaces the whole text
    editing_.bindBox(box.kind, box.band, model_.pageChannel, box.edit->objectName().toStdString());
}

// Key down: edt_public_hpf_fre_vk_updn, edt_public_lpf_fre_vk_updn,
// edt_public_eq_fre_vk_updn, edt_public_eq_gain_vk_updn, edt_public_eq_qval_vk_updn.
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
    storeCode(box.kind, field, code);
    recomputeAndMark(box);
    box.edit->setText(text(generalNumberText(entryValue(entryKind(box.kind), code))));
}

// Character typed: edt_public_hpf_freqKeyPress, edt_public_lpf_freqKeyPress,
// edt_public_eq_freq_0KeyPress, edt_public_eq_gain_0KeyPress, edt_public_eq_qval_0KeyPress
// (HLPF_freq_edt_keypress, EQ_freq_edt_keypress, EQ_gain_edt_keypress, EQ_qval_edt_keypress).
bool EqPage::boxKeyPress(const Box& box, const QKeyEvent& key)
{
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        commit(box, true);
        return true; // the box never sees the Enter
    }
    // Shortcuts (copy, paste, undo, select all) and keys that type nothing pass;
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

// Focus leaves: edt_public_hpf_freqExit, edt_public_lpf_freqExit, edt_public_eq_freq_0Exit,
// edt_public_eq_gain_0Exit, edt_public_eq_qval_0Exit (HLPF_edt_exit, EQ_freq_edt_exit,
// EQ_gain_edt_exit, EQ_qval_edt_exit).
void EqPage::boxExit(const Box& box)
{
    if (graph_->exitDetached(box.edit))
        return;
    // A band frequency box commits only while the context still designates a band frequency.
    if (box.kind != Kind::BandFrequency || editing_.targetField == editing_.targetRecord)
        commit(box, false);
    editing_.unbind();
}

void EqPage::commit(const Box& box, bool byEnter)
{
    const int field = fieldOf(box);
    const int code = codeAt(box.kind, field);
    std::string typed = box.edit->text().toStdString();
    const int accepted = applyEntryRule(entryKind(box.kind), typed, code);
    box.edit->setText(text(typed));
    storeCode(box.kind, field, accepted);
    if (accepted != code)
        recomputeAndMark(box);
    if (byEnter && isBand(box.kind))
        box.edit->selectAll();
}

bool EqPage::eventFilter(QObject* watched, QEvent* event)
{
    const auto found = boxes_.find(watched);
    if (found == boxes_.end())
        return false;
    const Box& box = found->second;
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

// --- wheel apply operations -----------------------------------------------------

QLineEdit* EqPage::boxNamed(const std::string& name) const
{
    for (const auto& [object, box] : boxes_)
        if (box.edit->objectName().toStdString() == name)
            return box.edit;
    return nullptr;
}

void EqPage::HLPF_edt_change(int filter)
{
    if (!editing_.wheelActive || editing_.targetField < 0 || editing_.targetField + 1 >= kImageSize)
        return;
    const int code = model_.image[editing_.targetField];
    if (QLineEdit* box = boxNamed(editing_.targetBox))
        box->setText(text(generalNumberText(frequencyAt(code))));
    graph_->HLPF_CalParamtr_DrawCurve_Setflg(filter, code, model_.image[editing_.targetField + 1], model_.pageChannel,
                                             editing_.targetChunk);
}

void EqPage::EQ_band_edt_change(Kind kind)
{
    if (!editing_.wheelActive || editing_.targetField < 0 || editing_.targetField + 1 >= kImageSize)
        return;
    const int code = codeAt(kind, editing_.targetField);
    if (QLineEdit* box = boxNamed(editing_.targetBox))
        box->setText(text(generalNumberText(entryValue(entryKind(kind), code))));
    graph_->EQ_CalParamtr_DrawCurve_Setflg(editing_.bandNumber, model_.pageChannel, editing_.targetChunk,
                                           editing_.targetRecord);
}

// --- type lists -------------------------------------------------------------------

void EqPage::HLPF_type_Cbb_Change(int filter)
{
    emit hidePopupsRequested();
    const int c = model_.pageChannel;
    QComboBox* list = filter == 0 ? cbb_op3hpf_type_ : cbb_op3lpf_type_;
    const int typeEntry = crossoverRecord(c) + (filter == 0 ? kHpfType : kLpfType);
    editing_.targetField = typeEntry;
    editing_.targetChunk = crossoverChunk(c);
    model_.image[typeEntry] = list->currentIndex();
    graph_->HLPF_CalParamtr_DrawCurve_Setflg(filter, model_.image[typeEntry - 1], list->currentIndex(), c,
                                             editing_.targetChunk);
}

void EqPage::EQ_type_cbb_Change(QComboBox* combo)
{
    // The band number is the last character of the list's name (cbb_op3eq_type_07).
    const QString name = combo->objectName();
    const int j = name.isEmpty() ? -1 : name.back().digitValue();
    if (j < 0 || j > 9 || combo->currentIndex() < 0)
        return;
    emit hidePopupsRequested();
    const int c = model_.pageChannel;
    editing_.bandNumber = j;
    editing_.targetBox = name.toStdString();
    editing_.targetRecord = bandRecord(c, j);
    editing_.targetField = editing_.targetRecord + kBandType;
    editing_.targetChunk = bandChunk(c, j);
    editing_.wheelTarget.clear();
    model_.image[editing_.targetField] = combo->currentIndex();
    graph_->EQ_CalParamtr_DrawCurve_Setflg(j, c, editing_.targetChunk, editing_.targetRecord);
}

} // namespace talvex
