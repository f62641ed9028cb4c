#pragma once
// Every message box and question of the editor goes through here, so tests can
// answer them without a person.

#include <QString>
#include <QStringList>

class QWidget;

namespace talvex {

// Said when a load, transfer or device change waits for another transfer.
inline constexpr char kTransferRunningMessage[] = "Another transfer is still running. Try again when it has finished.";

class Prompts {
public:
    virtual ~Prompts() = default;
    // A modal message with an OK button.
    virtual void message(const QString& text) = 0;
    // A modal question; true for Yes.
    virtual bool question(const QString& text) = 0;
    // A question about a change with lasting effect on the device, shown with
    // the warning icon; true for Yes.
    virtual bool warningQuestion(const QString& text) { return question(text); }
    // A modal message whose box can also show `details` on request (why a file
    // was refused, say); by default the message alone.
    virtual void detailedMessage(const QString& text, const QString& details)
    {
        (void)details;
        message(text);
    }
    // A modal question with buttons of its own ("Save", "Discard", "Cancel"):
    // the index of the button chosen. The last button cancels: Escape and
    // closing the box choose it, and so does a box that cannot be shown.
    virtual int choose(const QString& text, const QStringList& buttons)
    {
        (void)text;
        return int(buttons.size()) - 1;
    }
    // A modal choice of one of `items`: its index, or -1 when cancelled.
    virtual int chooseItem(const QString& text, const QStringList& items)
    {
        (void)text;
        (void)items;
        return -1;
    }
};

// The real thing: QMessageBox over the main window.
class MessageBoxPrompts : public Prompts {
public:
    explicit MessageBoxPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const QString& text) override;
    bool question(const QString& text) override;
    bool warningQuestion(const QString& text) override;
    void detailedMessage(const QString& text, const QString& details) override;
    int choose(const QString& text, const QStringList& buttons) override;
    int chooseItem(const QString& text, const QStringList& items) override;

private:
    QWidget* parent_;
};

} // namespace talvex
