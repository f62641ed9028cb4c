#pragma once
// "Amplifiers on the bus" (View menu): a non-modal window with one row per
// device the searches found, grouped by port, showing each one's temperature,
// attenuation, current preset and whether it answers. While a serial or
// network session is open, the other devices on its port are polled in turn,
// the next meter poll as soon as the one before is answered or given up; their
// system records and preset names are read once, beside the meter polls. The
// session's bus scheduler fits the polls in between the selected device's send
// ticks, so its writes and meter reads keep their pace. Their replies update
// their rows only; the selected device's row follows the session.
// Double-clicking a row reads that device as a Connect does.

#include "overview/overview_rows.h"
#include "session/session.h"
#include "ui/device_selection.h"
#include "ui/prompts.h"

#include <QObject>

#include <functional>
#include <vector>

class QMenu;
class QLabel;
class QMainWindow;
class QTableWidget;
class QWidget;

namespace talvex {

class BusOverview : public QObject {
    Q_OBJECT
public:
    struct Parts {
        Session& session;
        ParameterModel& model;
        Prompts& prompts;
        // The searches' found table, ports in the order of the port list.
        std::function<std::vector<overview::PortDevices>()> found;
        // A group transfer is running: the device must not change under it.
        std::function<bool()> transferRunning;
        // The port and Device ID selected for the next connect or read.
        DeviceSelection& selection;
    };

    // A window of its own over `window`; "Amplifiers on the bus" in the View menu opens it.
    BusOverview(QMainWindow& window, QMenu& viewMenu, const Parts& parts);
    ~BusOverview() override;

    void open();         // shows the window and starts polling
    void refreshFound(); // takes up what the searches found since
    // The row's device becomes the selected one and is read as a Connect reads
    // it; on a closed link its port is connected.
    void chooseRow(int row);

    QWidget* window() const { return window_; }
    const overview::BusRows& rows() const { return rows_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool polling();
    void setPolling(bool on);
    void pollNext();
    void otherDeviceReplied(const frame::Reply& reply);
    // A poll has ended (answered or given up): the next one goes.
    void pollEnded(int command);
    void stateChanged(Session::State state);
    void portListChanged(const QStringList& names);
    std::string linkPortName();
    void showRows();
    void showNote(const QString& text);
    static int now();

    Parts parts_;
    overview::BusRows rows_;
    QWidget* window_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* note_ = nullptr;
    QString choiceNote_; // why the last double-click did nothing
    bool meterPollOut_ = false;  // a meter poll is on its way
    bool recordReadOut_ = false; // a system-record or preset-name read is on its way
};

} // namespace talvex
