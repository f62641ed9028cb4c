#pragma once
// Device administration beside the search: the Device ID selector, giving the
// connected device a new Device ID, broadcast mode (edits reach every device on
// the bus) and the temperature threshold. The two system-record edits go out
// as the 0x21 write of the send scheduler; the write of a new Device ID still
// goes to the old address, and every frame after it to the new one.

#include "model/parameter_model.h"
#include "session/device_channel.h"
#include "ui/prompts.h"
#include "ui/views.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

class QAbstractButton;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QWidget;

namespace talvex {

inline constexpr int kFirstDeviceId = 1;
inline constexpr int kLastDeviceId = 250;

// The Device ID typed into the assignment box: a whole number 1..250 written
// in decimal digits only, or nothing.
std::optional<int> parseDeviceId(std::string_view text);

class DeviceAdmin : public QObject {
    Q_OBJECT
public:
    struct Parts {
        ParameterModel& model;
        DeviceChannel& channel; // the link, broadcast mode and the device addressed
        Prompts& prompts;
        // Whether a group transfer runs; the Device ID stays while one does.
        std::function<bool()> transferRunning = [] { return false; };
    };

    // Connects its controls.
    DeviceAdmin(const AdminView& view, const Parts& parts);

    // The user chose a Device ID in the list.
    void chooseDeviceId();
    // "OK" beside the Device ID box: the connected device gets the typed Device ID.
    void assignDeviceId();
    // A key in the Device ID box; true when the key is taken (discarded or acted on).
    bool deviceIdKeyPress(QKeyEvent* event);
    // Broadcast mode on or off.
    void toggleBroadcast();
    // "Change" beside the temperature threshold.
    void changeTemperatureThreshold();

signals:
    // The gain, delay and limiter pop-ups are to be hidden.
    void hidePopupsRequested();
    // The user chose another Device ID in the list (not a search or an assignment).
    void deviceChosen();
    // Broadcast mode went on or off. The threshold write carries the whole head
    // of the system record, Device ID included: sent to every device it would
    // give them all one Device ID, so what writes it is off in broadcast mode.
    void broadcastChanged(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Parts parts_;
    AdminView view_;
    int shownIndex_ = 0;    // the Device ID list's item
    int previousIndex_ = 0; // its item before the last change
};

} // namespace talvex
