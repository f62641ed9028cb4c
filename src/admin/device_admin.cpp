#include "admin/device_admin.h"

#include "link/frame.h"
#include "model/number_text.h"
#include "ui/main_window_layout.h"
#include "ui/controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QLineEdit>
#include <QWidget>

#include <charconv>

namespace talvex {

std::optional<int> parseDeviceId(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size())
        return std::nullopt;
    if (value < kFirstDeviceId || value > kLastDeviceId)
        return std::nullopt;
    return value;
}

DeviceAdmin::DeviceAdmin(const AdminView& view, const Parts& parts) : parts_(parts), view_(view)
{
    // Only a change by the user moves the address; selections made by the
    // program (search, assignment) wait for the next connect.
    shownIndex_ = previousIndex_ = view_.deviceIdList->currentIndex();
    connect(view_.deviceIdList, &QComboBox::currentIndexChanged, this, [this](int index) {
        previousIndex_ = shownIndex_;
        shownIndex_ = index;
    });
    connect(view_.deviceIdList, &QComboBox::activated, this, &DeviceAdmin::chooseDeviceId);
    connect(view_.broadcast, &QAbstractButton::clicked, this, &DeviceAdmin::toggleBroadcast);
    connect(view_.assign, &QAbstractButton::clicked, this, &DeviceAdmin::assignDeviceId);
    connect(view_.changeThreshold, &QAbstractButton::clicked, this, &DeviceAdmin::changeTemperatureThreshold);
    view_.newDeviceId->installEventFilter(this);
}

bool DeviceAdmin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_.newDeviceId && event->type() == QEvent::KeyPress)
        return deviceIdKeyPress(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}

void DeviceAdmin::chooseDeviceId()
{
    if (parts_.transferRunning()) {
        const QSignalBlocker block(view_.deviceIdList);
        view_.deviceIdList->setCurrentIndex(previousIndex_);
        shownIndex_ = previousIndex_;
        parts_.prompts.message(QString::fromLatin1(kTransferRunningMessage));
        return;
    }
    // In broadcast mode the selection picks the device that meters and read-backs
    // come from; writes keep going to every device. While connected, edits still
    // waiting go to the device on screen first: the session moves the address.
    if (!parts_.sender.broadcast && !(parts_.link != LinkState::Closed))
        parts_.sender.deviceAddress = view_.deviceIdList->currentIndex();
    emit deviceChosen();
}

bool DeviceAdmin::deviceIdKeyPress(QKeyEvent* event)
{
    emit hidePopupsRequested();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        assignDeviceId();
        return true;
    }
    if (event->key() == Qt::Key_Backspace)
        return false;
    // Digits pass; other characters are dropped. Keys without a printable
    // character (arrows, Delete, shortcuts such as paste) keep their meaning.
    const QString text = event->text();
    if (text.isEmpty() || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F)
        return false;
    return !(text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9');
}

void DeviceAdmin::assignDeviceId()
{
    emit hidePopupsRequested();
    if (!(parts_.link != LinkState::Closed)) {
        parts_.prompts.message(QStringLiteral("Disconnect."));
        return;
    }
    const auto id = parseDeviceId(view_.newDeviceId->text().toStdString());
    if (!id) {
        view_.newDeviceId->setText(QString::fromStdString(integerText(parts_.sender.deviceAddress + 1)));
        parts_.prompts.message(QStringLiteral("Please input 1~250 number."));
        return;
    }
    if (!parts_.prompts.warningQuestion(QStringLiteral("Want to change device id?")))
        return;
    parts_.model.systemRecord[3] = *id;
    view_.deviceIdList->setCurrentIndex(*id - 1);
    // The scheduler sends the record to the old address, then moves to the new one.
    parts_.model.markChunk(kSystemRecordChunk);
}

void DeviceAdmin::toggleBroadcast()
{
    if ((parts_.link != LinkState::Closed)) {
        parts_.prompts.message(QStringLiteral("Please disconnect."));
        return;
    }
    const bool on = !parts_.sender.broadcast;
    parts_.sender.broadcast = on;
    parts_.sender.deviceAddress = on ? frame::kBroadcastAddress : view_.deviceIdList->currentIndex();
    setButtonColour(view_.broadcast, on ? kConnectedGreen : kButtonGrey);
    view_.assignBox->setEnabled(!on);
    view_.changeThreshold->setEnabled(!on);
    emit broadcastChanged(on);
}

void DeviceAdmin::changeTemperatureThreshold()
{
    if (!(parts_.link != LinkState::Closed))
        return;
    if (!parts_.prompts.warningQuestion(QStringLiteral("Do you want to change the temperature threshold level?"))) {
        const int step = parts_.model.systemRecord[7];
        view_.temperatureThreshold->setCurrentIndex(step < view_.temperatureThreshold->count() ? step : -1);
        return;
    }
    if (view_.temperatureThreshold->currentIndex() < 0)
        return;
    parts_.model.systemRecord[7] = view_.temperatureThreshold->currentIndex();
    parts_.model.markChunk(kSystemRecordChunk);
}

} // namespace talvex
