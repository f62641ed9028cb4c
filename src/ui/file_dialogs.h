#pragma once
// Every file dialog of the editor goes through here, so tests can choose files
// (or cancel) without a person.

#include <QString>

#include <string>
#include <QStringList>

class QWidget;

namespace talvex {

class Prompts;

// A path as the desktop writes it (back slashes on Windows), for messages.
QString shownPath(const QString& path);

// Writes `content` through a temporary file that replaces `path` only when
// whole (QSaveFile); when that fails, says "Could not save "<path>": <reason>"
// and leaves any earlier file as it was. True when written.
bool saveWholeFile(const QString& path, const std::string& content, Prompts& prompts);

struct FileDialogOptions {
    QString name;          // the dialog's name (dlgSave_onegrp2pc, ...)
    QString filter;        // "shown text|pattern", e.g. "(*.datdsp)|*.datdsp"; more kinds follow as
                           // further pairs ("A|*.a|B|*.b"), patterns of one kind joined by ';'
    QString defaultSuffix; // added to a typed name without an extension ("datdsp")
    QString defaultName;   // file name proposed by a save dialog
    bool confirmOverwrite = false; // a save dialog asks before replacing a file
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen file's path, or an empty string when the user cancelled.
    virtual QString openFile(const FileDialogOptions& options) = 0;
    virtual QString saveFile(const FileDialogOptions& options) = 0;
};

// The real thing: QFileDialog over the main window. It starts in the folder
// used last (during this run), or the working folder.
class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    QString openFile(const FileDialogOptions& options) override;
    QString saveFile(const FileDialogOptions& options) override;

    // "shown|pattern" as a Qt name filter ("shown (pattern)"); nameFilters
    // gives one for each pair of a filter with several.
    static QString nameFilter(const QString& filter);
    static QStringList nameFilters(const QString& filter);

private:
    QString run(const FileDialogOptions& options, bool save);

    QWidget* parent_;
    QString lastFolder_;
};

} // namespace talvex
