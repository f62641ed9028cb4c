#include "offline/offline_document.h"

#include "link/frame.h"
#include "ui/controls.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>

#include <filesystem>

namespace talvex {

namespace {

const QString kDamaged = QStringLiteral("File damaged.");
const QString kOneGroupSuffix = QStringLiteral(".") + QLatin1String(groupfile::kOneGroupExtension);
const QString kAllGroupsSuffix = QStringLiteral(".") + QLatin1String(groupfile::kAllGroupsExtension);
const QString kSendToAmplifier = QStringLiteral("Send to amplifier");
const QString kReadFromAmplifier = QStringLiteral("Read from amplifier");
const QString kCancel = QStringLiteral("Cancel");

bool isAllGroupsFile(const QString& path) { return path.endsWith(kAllGroupsSuffix, Qt::CaseInsensitive); }

FileDialogOptions dialog(const char* name, const char* filter, const char* suffix)
{
    return FileDialogOptions{QString::fromLatin1(name), QString::fromLatin1(filter), QString::fromLatin1(suffix), {},
                             true};
}

// "Save as…" offers the kinds that can hold the group: a one-group file always,
// an all-groups file when the other nineteen groups come from the one open.
const FileDialogOptions kSaveOneGroup =
    dialog("dlgSaveAs_onegrp", "One-group file (*.datdsp)|*.datdsp", groupfile::kOneGroupExtension);
const FileDialogOptions kSaveEitherKind =
    dialog("dlgSaveAs_20grp", "All-groups file (*.datgrp)|*.datgrp|One-group file (*.datdsp)|*.datdsp",
           groupfile::kAllGroupsExtension);

} // namespace

const FileDialogOptions OfflineDocument::openDialog{
    QStringLiteral("dlgOpen_groupfile"),
    QStringLiteral("Group files (*.datdsp, *.datgrp)|*.datdsp;*.datgrp|One-group file (*.datdsp)|*.datdsp|"
                   "All-groups file (*.datgrp)|*.datgrp"),
    QString::fromLatin1(groupfile::kOneGroupExtension), {}, false};

OfflineDocument::OfflineDocument(QMainWindow& window, QMenu& fileMenu, const Parts& parts)
    : QObject(&window), window_(window), parts_(parts), baseTitle_(window.windowTitle())
{
    QMenu* menu = &fileMenu;
    const auto add = [&](const char* name, const QString& text, const char* keys, std::function<void()> run) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        connect(action, &QAction::triggered, this, std::move(run));
        return action;
    };
    openAction_ = add("actionOpenGroupFile", QStringLiteral("Open group file…"), "Ctrl+O", [this] { open(); });
    menu->addSeparator();
    saveAction_ = add("actionSave", QStringLiteral("Save"), "Ctrl+S", [this] { save(); });
    saveAsAction_ = add("actionSaveAs", QStringLiteral("Save as…"), "Ctrl+Shift+S", [this] { saveAs(); });

    connect(&parts_.session, &Session::stateChanged, this, &OfflineDocument::onStateChanged);
    connect(&parts_.session, &Session::imageArrived, this, &OfflineDocument::onImageArrived);
    connect(&parts_.session, &Session::closing, this, &OfflineDocument::onLinkClosing);
    updateActions();
}

bool OfflineDocument::isModified() const { return window_.isWindowModified(); }

void OfflineDocument::noteEdit()
{
    if (open_ && goingLive_ == GoingLive::None)
        setModified(true);
}

// --- open ----------------------------------------------------------------------

void OfflineDocument::open()
{
    if (askToSave(QStringLiteral("Save the changes to %1 before opening another file?")) == SaveAnswer::Cancelled)
        return;
    const QString path = parts_.dialogs.openFile(openDialog);
    if (!path.isEmpty())
        openFile(path);
}

bool OfflineDocument::openFile(const QString& path, int group)
{
    if (parts_.session.state() != Session::State::Disconnected) {
        parts_.prompts.message(QStringLiteral("Please disconnect."));
        return false;
    }
    std::string error;
    const auto content = groupfile::readFile(std::filesystem::path(path.toStdU16String()), &error);
    if (!content) {
        parts_.prompts.message(QStringLiteral("Could not open \"%1\": %2").arg(shownPath(path), QString::fromStdString(error)));
        return false;
    }
    const Kind kind = isAllGroupsFile(path) ? Kind::AllGroups : Kind::OneGroup;
    const groupfile::ParseResult parsed =
        kind == Kind::AllGroups ? groupfile::parseAllGroups(*content) : groupfile::parseOneGroup(*content);
    if (!parsed.ok()) {
        parts_.prompts.detailedMessage(kDamaged, parsed.status == groupfile::Status::Empty
                                                     ? QStringLiteral("the file holds no group")
                                                     : QString::fromStdString(parsed.fault.reason));
        return false;
    }
    if (kind == Kind::AllGroups && (group < 1 || group > groupfile::kStoredGroups)) {
        QStringList groups;
        for (int g = 1; g <= groupfile::kStoredGroups; ++g)
            groups << QStringLiteral("Group %1").arg(g);
        const int chosen = parts_.prompts.chooseItem(
            QStringLiteral("Which group of %1 do you want to edit?").arg(QFileInfo(path).fileName()), groups);
        if (chosen < 0)
            return false;
        group = chosen + 1;
    }
    const groupfile::Group& opened = parsed.groups[kind == Kind::AllGroups ? std::size_t(group - 1) : 0];
    open_ = true;
    path_ = path;
    kind_ = kind;
    group_ = kind == Kind::AllGroups ? group : 0;
    groupText_ = opened.text;
    fileContent_ = kind == Kind::AllGroups ? *content : std::string();
    goingLive_ = GoingLive::None;
    writing_ = false;
    putImage(opened.image);
    emit editingUnlocked(); // the file is edited here

    setModified(false);
    updateTitle();
    updateActions();
    parts_.session.holdAutomaticConnect(true);
    return true;
}

void OfflineDocument::putImage(const groupfile::GroupImage& image)
{
    for (std::size_t i = 0; i < image.size(); ++i)
        parts_.model.image[i] = image[i];
    parts_.model.clearPending();
    parts_.showImage();
    emit imageReplaced();
}

groupfile::GroupImage OfflineDocument::currentImage() const
{
    groupfile::GroupImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(parts_.model.image[i] & 0xFF);
    return image;
}

// --- save ----------------------------------------------------------------------

bool OfflineDocument::save() { return open_ && writeTo(path_, kind_); }

bool OfflineDocument::saveAs()
{
    if (!open_)
        return false;
    FileDialogOptions options = kind_ == Kind::AllGroups ? kSaveEitherKind : kSaveOneGroup;
    options.defaultName = QFileInfo(path_).completeBaseName();
    const QString path = parts_.dialogs.saveFile(options);
    if (path.isEmpty())
        return false;
    const Kind kind = isAllGroupsFile(path) ? Kind::AllGroups : Kind::OneGroup;
    if (kind == Kind::AllGroups && kind_ != Kind::AllGroups) {
        parts_.prompts.message(QStringLiteral("An all-groups file needs all 20 groups, and this file holds one. "
                                              "Save it as a one-group file (%1).")
                                   .arg(kOneGroupSuffix));
        return false;
    }
    return writeTo(path, kind);
}

bool OfflineDocument::writeTo(const QString& path, Kind kind)
{
    const groupfile::GroupImage image = currentImage();
    std::optional<std::string> text = groupfile::withImage(groupText_, image);
    if (text && kind == Kind::OneGroup && kind_ == Kind::AllGroups) {
        // One group taken out of an all-groups file: kept as the device's current
        // group, the way a one-group file holds it.
        text = groupfile::makeGroupText(image, groupfile::headerOf(groupText_).address, 0, frame::kCmdCurrentGroup);
    }
    std::optional<std::string> content;
    if (text)
        content = kind == Kind::AllGroups ? groupfile::replaceGroup(fileContent_, group_, *text)
                                          : groupfile::formatOneGroup(*text);
    if (!content) {
        parts_.prompts.message(
            QStringLiteral("Could not save \"%1\": the group could not be written").arg(shownPath(path)));
        return false;
    }
    if (!saveWholeFile(path, *content, parts_.prompts))
        return false;
    path_ = path;
    group_ = kind == Kind::AllGroups ? group_ : 0;
    kind_ = kind;
    groupText_ = *text;
    fileContent_ = kind == Kind::AllGroups ? *content : std::string();
    setModified(false);
    updateTitle();
    return true;
}

OfflineDocument::SaveAnswer OfflineDocument::askToSave(const QString& question)
{
    if (!open_ || !isModified())
        return SaveAnswer::Discarded;
    const QString name = QFileInfo(path_).fileName();
    switch (parts_.prompts.choose(question.arg(name), {QStringLiteral("Save"), QStringLiteral("Discard"), kCancel})) {
    case 0:
        return save() ? SaveAnswer::Saved : SaveAnswer::Cancelled;
    case 1:
        return SaveAnswer::Discarded;
    default:
        return SaveAnswer::Cancelled;
    }
}

bool OfflineDocument::mayClose()
{
    return askToSave(QStringLiteral("Save the changes to %1 before closing?")) != SaveAnswer::Cancelled;
}

// --- going live ----------------------------------------------------------------

void OfflineDocument::goLive()
{
    if (!open_ || parts_.session.state() != Session::State::Disconnected)
        return;
    const int answer = parts_.prompts.choose(
        QStringLiteral("%1 is open. Send its settings to the amplifier, or read the amplifier's own settings?")
            .arg(QFileInfo(path_).fileName()),
        {kSendToAmplifier, kReadFromAmplifier, kCancel});
    if (answer == 0) {
        sending_ = currentImage();
        goingLive_ = GoingLive::Send;
    } else if (answer == 1) {
        if (askToSave(QStringLiteral("Save the changes to %1 before reading the amplifier?")) ==
            SaveAnswer::Cancelled)
            return;
        goingLive_ = GoingLive::Read;
    } else {
        return;
    }
    parts_.session.holdAutomaticConnect(false);
    updateActions();
    parts_.session.connectLink();
    if (parts_.session.state() == Session::State::Disconnected)
        onLinkClosing(); // the port did not open: still working on the file
}

void OfflineDocument::onStateChanged(Session::State state)
{
    if (state == Session::State::Connected && goingLive_ == GoingLive::Read) {
        close();
    } else if (state == Session::State::Connected && goingLive_ == GoingLive::Send && !writing_) {
        // The read-all has just shown the device's group; the file's goes out in
        // its place and is shown while it is written and read back.
        writing_ = true;
        putImage(sending_);
        parts_.sendImage(sending_);
    }
    updateActions();
}

void OfflineDocument::onImageArrived()
{
    // The read-back of the group sent: the window shows the device now.
    if (writing_ && goingLive_ == GoingLive::Send)
        close();
}

void OfflineDocument::onLinkClosing()
{
    if (goingLive_ == GoingLive::None)
        return;
    // The image is still the file's (the device's never replaced it, or the
    // file's was put back before it was sent): work goes on offline.
    goingLive_ = GoingLive::None;
    writing_ = false;
    parts_.session.holdAutomaticConnect(true);
    updateActions();
}

// --- the window ------------------------------------------------------------------

void OfflineDocument::close()
{
    open_ = false;
    goingLive_ = GoingLive::None;
    writing_ = false;
    path_.clear();
    group_ = 0;
    groupText_.clear();
    fileContent_.clear();
    setModified(false);
    updateTitle();
    updateActions();
    parts_.session.holdAutomaticConnect(false);
}

void OfflineDocument::setModified(bool modified) { window_.setWindowModified(open_ && modified); }

void OfflineDocument::updateTitle()
{
    if (!open_) {
        window_.setWindowTitle(baseTitle_);
        return;
    }
    QString shown = QFileInfo(path_).fileName();
    if (kind_ == Kind::AllGroups)
        shown += QStringLiteral(", group %1").arg(group_);
    window_.setWindowTitle(shown + QStringLiteral("[*] - ") + baseTitle_);
}

void OfflineDocument::updateActions()
{
    const bool offline = parts_.session.state() == Session::State::Disconnected && goingLive_ == GoingLive::None;
    openAction_->setEnabled(offline);
    saveAction_->setEnabled(offline && open_);
    saveAsAction_->setEnabled(offline && open_);
}

} // namespace talvex
