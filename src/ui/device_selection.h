#pragma once
// The serial port and Device ID the user has selected, as the features that
// choose a device for the user (the search, the bus overview) see them: they
// read and set the selection through this, never through the lists themselves.
// A selection set here is the program's, not the user's choice: it moves no
// address until the next connect or read.

#include <QString>

class QComboBox;

namespace talvex {

class DeviceSelection {
public:
    DeviceSelection(QComboBox* ports, QComboBox* deviceIds) : ports_(ports), deviceIds_(deviceIds) {}

    // The selected port's name as the list shows it.
    QString portName() const;
    // Selects the port `name`; false when the list does not hold it.
    bool selectPort(const QString& name);
    // Selects Device ID `address` + 1 (the address on the bus, 0..249).
    void selectAddress(int address);

private:
    QComboBox* ports_;
    QComboBox* deviceIds_;
};

} // namespace talvex
