#pragma once
// The main window: the composition root. It builds the layout, hands each
// feature its own controls (channel strip, wheel, equaliser page, undo history,
// presets, offline file, search, device administration, bus overview, tuning) and the
// parts of the editor core it needs, wires them to one another, and shows the
// session's state, its progress, traffic log and replies.

#include "app/editor_core.h"
#include "overview/overview_rows.h"
#include "ui/device_selection.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"
#include "ui/views.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

class QDialog;

namespace talvex {

class BusOverview;
class BusSearch;
class ChannelStrip;
class DeviceAdmin;
class EditHistory;
class EqPage;
class WheelFilter;
class GroupTransfer;
class OfflineDocument;
class PresetPanel;
class TransferProgress;
class TuningPanel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    struct Platform {
        Prompts* prompts = nullptr;         // required
        FileDialogs* fileDialogs = nullptr; // null: QFileDialog over the window
    };

    // `core` outlives the window.
    MainWindow(EditorCore& core, const Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The Connect button: connects when disconnected, otherwise disconnects.
    void toggleConnection();
    // Opens a group file named at start-up instead of searching the bus: an
    // all-groups file's group `group` (1..20), or the one the user picks when 0.
    void openGroupFileAtStart(const QString& path, int group);
    // Makes the controls show the parameter image.
    void showImage();

protected:
    // Unsaved changes of an open group file are saved, discarded or kept open.
    void closeEvent(QCloseEvent* event) override;

private:
    void createFeatures(FileDialogs& dialogs);
    void connectFeatures();
    void connectSession();
    void startUp();
    void fillPortList(const QStringList& names);
    // The chosen port and Device ID, as the lists show them, into the session.
    void pushPortChoice();
    void pushDeviceChoice();
    void onConnecting();
    void onImageArrived(const frame::Reply& reply);
    void showPresetNames();
    void showSystemRecord(int presetItem);
    void showMeters(const replies::MeterReading& reading);
    void addHistoryLine(const QString& line);
    void showConnected(bool connected);
    void resetEditingState();
    void hidePopups();
    std::vector<overview::PortDevices> foundDevices() const;

    EditorCore& core_;
    Session& session_;
    Prompts& prompts_;
    MainWindowViews views_;
    DeviceSelection selection_;
    std::unique_ptr<QtFileDialogs> ownFileDialogs_;
    QDialog* warning_ = nullptr;
    GroupTransfer* groupTransfer_ = nullptr;
    PresetPanel* presetPanel_ = nullptr;
    OfflineDocument* offline_ = nullptr;

    // Features; declared last so they go before the parts they use. Each is
    // also a child of the window, where tests find it by its type.
    std::unique_ptr<ChannelStrip> strip_;
    std::unique_ptr<WheelFilter> wheel_;
    std::unique_ptr<EqPage> eqPage_;
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<BusSearch> busSearch_;
    std::unique_ptr<DeviceAdmin> deviceAdmin_;
    std::unique_ptr<BusOverview> busOverview_;
    std::unique_ptr<TuningPanel> tuning_;
    TransferProgress* progress_ = nullptr; // the window's child
};

} // namespace talvex
