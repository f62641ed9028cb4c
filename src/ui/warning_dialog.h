#pragma once
// The warning dialog (the window TForm4): "Connection has been disconnedted!!" with an OK
// button that closes it. No border icons; shown non-modally over the main window.

#include <QDialog>

namespace talvex {

class WarningDialog : public QDialog {
    Q_OBJECT
public:
    explicit WarningDialog(QWidget* parent = nullptr);
};

} // namespace talvex
