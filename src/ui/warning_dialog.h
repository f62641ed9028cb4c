#pragma once
// The warning dialog (TForm4): "Connection has been disconnedted!!" with an OK
// button that closes it. No border icons; shown non-modally over the main window.

#include <QDialog>

namespace talvex {

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

} // namespace talvex
