#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace talvex {

QString QtFileDialogs::nameFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    if (bar < 0)
        return filter;
    return filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1).replace(u';', u' ') + u')';
}

QString QtFileDialogs::openFile(const FileDialogOptions& options) { return run(options, false); }

QString QtFileDialogs::saveFile(const FileDialogOptions& options) { return run(options, true); }

QString QtFileDialogs::run(const FileDialogOptions& options, bool save)
{
    QFileDialog dialog(parent_);
    dialog.setObjectName(options.name);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The filter shows its own text only; the pattern stays behind it.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    dialog.setNameFilter(nameFilter(options.filter));
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!lastFolder_.isEmpty())
        dialog.setDirectory(lastFolder_);
    if (save && !options.defaultName.isEmpty())
        dialog.selectFile(options.defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

} // namespace talvex
