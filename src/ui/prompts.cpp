#include "ui/prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QPushButton>
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

int MessageBoxPrompts::choose(const QString& text, const QStringList& buttons)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, QMessageBox::NoButton,
                    parent_);
    if (parent_)
        box.setFont(parent_->window()->font());
    QList<QPushButton*> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const bool last = i == buttons.size() - 1;
        added << box.addButton(buttons[i], last ? QMessageBox::RejectRole
                                                : (i == 0 ? QMessageBox::AcceptRole : QMessageBox::DestructiveRole));
    }
    if (added.isEmpty())
        return -1;
    box.setDefaultButton(added.front());
    box.setEscapeButton(added.back());
    box.exec();
    const qsizetype chosen = added.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return int(chosen < 0 ? added.size() - 1 : chosen);
}

int MessageBoxPrompts::chooseItem(const QString& text, const QStringList& items)
{
    bool ok = false;
    const QString item =
        QInputDialog::getItem(parent_, QApplication::applicationDisplayName(), text, items, 0, false, &ok);
    return ok ? int(items.indexOf(item)) : -1;
}

} // namespace talvex
