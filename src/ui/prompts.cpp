#include "ui/prompts.h"

#include <QApplication>
#include <QMessageBox>

namespace talvex {

void MessageBoxPrompts::message(const QString& text)
{
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), text);
}

bool MessageBoxPrompts::question(const QString& text)
{
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompts::detailedMessage(const QString& text, const QString& details)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    parent_);
    box.setDetailedText(details);
    box.exec();
}

} // namespace talvex
