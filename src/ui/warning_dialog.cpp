#include "ui/warning_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex {

WarningDialog::WarningDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("TForm4");
    setWindowTitle(QStringLiteral("Warnning"));
    setModal(false);
    if (parent)
        setFont(parent->window()->font()); // not the application's font, as a window of its own would have

    auto* text = new QLabel(QStringLiteral("Connection has been disconnedted!!"), this);
    text->setObjectName("lbl_warning");
    text->setAlignment(Qt::AlignCenter);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("btn_warning_ok");
    ok->setFixedWidth(75);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 18, 24, 14);
    column->setSpacing(14);
    column->addWidget(text);
    column->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(280, 110)));
}

} // namespace talvex
