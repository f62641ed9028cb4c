#pragma once
// The device's presets (box "Load：" / "Save:"): load a preset into the working
// settings, choose a save slot, type a name and save it. A save only queues the
// name write (pending-write flag 78); the send-pulse timer sends it, and this
// panel wraps that frame in its pauses and the "Save success!!" message.

#include "presets/presets_context.h"
#include "ui/views.h"

#include <QObject>

#include <optional>

class QAbstractButton;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QWidget;

namespace talvex {

class GroupTransfer;

class PresetPanel : public QObject {
    Q_OBJECT
public:
    static constexpr int kNameMaxTyped = 19;
    static constexpr int kLoadPauseMs = 200;
    static constexpr int kNamePauseMs = 500;

    // Connects its controls and takes over the send scheduler's name write.
    PresetPanel(const PresetsContext& context, GroupTransfer& transfer, const PresetsView& view, QObject* parent);
    ~PresetPanel() override;

    void loadPreset();     // "Load"
    void chooseSaveSlot(); // the user chose a slot to save into
    void savePreset();     // "Save"
    // Key filter of the name box: true when the key is used up here (Enter,
    // which saves, and every character outside 8 and 32..126).
    bool nameKeyPress(QKeyEvent* event);
    // A click in the name box selects all of its text.
    void selectWholeName();
    // The name write for pending-write flag 78, run by the send scheduler.
    void writePresetName();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The preset number (1..) of a list's selected item; nothing when none is selected.
    static std::optional<int> selectedPreset(const QComboBox* list);

    PresetsContext ctx_;
    DeviceChannel& channel_;
    GroupTransfer& transfer_;
    PresetsView view_;
};

} // namespace talvex
