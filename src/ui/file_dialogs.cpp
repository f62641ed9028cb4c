#include "ui/file_dialogs.h"

#include "ui/prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace talvex {

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

bool saveWholeFile(const QString& path, const std::string& content, Prompts& prompts)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(content.data(), qint64(content.size())) == qint64(content.size()) && file.commit())
        return true;
    const QString reason = file.errorString();
    file.cancelWriting();
    prompts.message(QStringLiteral("Could not save \"%1\": %2").arg(shownPath(path), reason));
    return false;
}

QString QtFileDialogs::nameFilter(const QString& filter) { return nameFilters(filter).constFirst(); }

QStringList QtFileDialogs::nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    if (parts.size() < 2)
        return {filter};
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(u';', u' ') + u')';
    return filters;
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
    dialog.setNameFilters(nameFilters(options.filter));
    dialog.setDefaultSuffix(options.defaultSuffix);
    // A name typed without an extension takes the one of the kind chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
        static const QRegularExpression firstPattern(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch match = firstPattern.match(chosen);
        if (match.hasMatch())
            dialog.setDefaultSuffix(match.captured(1));
    });
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
