#pragma once
// Every message box and question of the editor goes through here, so tests can
// answer them without a person.

#include <QString>

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

private:
    QWidget* parent_;
};

} // namespace talvex
