#include "ui/device_selection.h"

#include <QComboBox>

namespace talvex {

QString DeviceSelection::portName() const { return ports_->currentText(); }

bool DeviceSelection::selectPort(const QString& name)
{
    const int item = ports_->findText(name);
    if (item < 0)
        return false;
    ports_->setCurrentIndex(item);
    return true;
}

void DeviceSelection::selectAddress(int address) { deviceIds_->setCurrentIndex(address); }

} // namespace talvex
