#pragma once
// Working without an amplifier: a group file opened in the editor (File, "Open
// group file…"), edited with every control, saved ("Save", "Save as…"), and
// sent to the amplifier or set aside for the amplifier's own settings when the
// user connects. Owns the File menu's actions and the window title while a
// file is open.
//
// A one-group file (".datdsp") is edited as its one group; of an all-groups
// file (".datgrp") the user edits one of the twenty groups, and saving changes
// only that group's two lines. Opening sends nothing and leaves no pending
// write; edits (through the one edit path, wired by the window) mark the
// document modified (the title's "[*]").
//
// Connect with a file open asks: "Send to amplifier" writes the group to the
// device's current group through the one-group load (block write, pause,
// read-back) once the link is up; "Read from amplifier" reads the device as
// usual, after asking to save unsaved changes. Either way, once the device's
// settings are shown the file is closed and the title is the usual one again.
// A link that fails on the way leaves the file open with its edits.

#include "model/parameter_model.h"
#include "model/group_file.h"
#include "session/session.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QMainWindow;
class QMenu;
class QWidget;

namespace talvex {

class OfflineDocument : public QObject {
    Q_OBJECT
public:
    struct Parts {
        ParameterModel& model;
        Session& session;
        Prompts& prompts;
        FileDialogs& dialogs;
        std::function<void()> showImage; // the controls show the parameter image
        // Writes an image to the device's current group through the one-group
        // load; false when it could not start.
        std::function<bool(const groupfile::GroupImage&)> sendImage;
    };

    enum class Kind { OneGroup, AllGroups };
    // What a connect with the file open was asked to do.
    enum class GoingLive { None, Send, Read };

    static const FileDialogOptions openDialog;

    // Adds its actions to the File menu; `window` shows the file's name and its unsaved state.
    OfflineDocument(QMainWindow& window, QMenu& fileMenu, const Parts& parts);

    // "Open group file…": asks about unsaved changes, then for the file.
    void open();
    // Opens `path` (the start-up file): an all-groups file's group `group`
    // (1..20), or the one the user picks when `group` is 0. True when it opened.
    bool openFile(const QString& path, int group = 0);
    bool save();   // "Save": false when it failed or there is nothing to save
    bool saveAs(); // "Save as…": false when cancelled or failed

    // A user's edit (or an undo or redo) has changed the image: the window
    // connects the one edit path's announcement here.
    void noteEdit();
    // Connect pressed with a file open: asks what to do and starts the connect
    // unless the user cancels.
    void goLive();
    // The window is to close: asks about unsaved changes; false to stay open.
    bool mayClose();

    bool isOpen() const { return open_; }
    bool isModified() const;
    QString path() const { return path_; }
    Kind kind() const { return kind_; }
    int group() const { return group_; }
    GoingLive goingLive() const { return goingLive_; }

signals:
    // A file's image has replaced the parameter image (the undo history starts afresh).
    void imageReplaced();
    // A file is open for editing here: whatever a device search left locked is to be usable.
    void editingUnlocked();

private:
    enum class SaveAnswer { Saved, Discarded, Cancelled };
    // "Save" / "Discard" / "Cancel" when there are unsaved changes.
    SaveAnswer askToSave(const QString& question);
    bool writeTo(const QString& path, Kind kind);
    void putImage(const groupfile::GroupImage& image);
    groupfile::GroupImage currentImage() const;
    void close();
    void setModified(bool modified);
    void updateTitle();
    void updateActions();
    void onStateChanged(Session::State state);
    void onImageArrived();
    void onLinkClosing();

    QMainWindow& window_;
    Parts parts_;
    QString baseTitle_;
    QAction* openAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;

    bool open_ = false;
    QString path_;
    Kind kind_ = Kind::OneGroup;
    int group_ = 0;            // 1..20 of an all-groups file, 0 for a one-group file
    std::string groupText_;    // the group text as saved last (header kept from the file)
    std::string fileContent_;  // an all-groups file as saved last: the other groups come from here
    GoingLive goingLive_ = GoingLive::None;
    bool writing_ = false;     // the image is on its way to the device; the read-back closes the file
    groupfile::GroupImage sending_{}; // the image a Send writes
};

} // namespace talvex
