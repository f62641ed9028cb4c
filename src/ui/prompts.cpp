#include "ui/prompts.h"

#include <QApplication>
#include <QMessageBox>

namespace talvex {

namespace {

// A message box over the main window, in the window's font: a dialog is a
// window of its own and would otherwise take the application's font.
QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, parent);
    if (parent)
        box.setFont(parent->window()->font());
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

void MessageBoxPrompts::message(const QString& text)
{
    ask(parent_, QMessageBox::Information, text, QMessageBox::Ok);
}

bool MessageBoxPrompts::question(const QString& text)
{
    return ask(parent_, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool MessageBoxPrompts::warningQuestion(const QString& text)
{
    return ask(parent_, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompts::detailedMessage(const QString& text, const QString& details)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    parent_);
    box.setDetailedText(details);
    box.exec();
}

} // namespace talvex
