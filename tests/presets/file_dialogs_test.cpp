// The real file dialogs, answered by a timer that finds the open dialog.
#include "presets/group_transfer.h"
#include "ui/file_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace talvex;

namespace {

// Runs `answer` on the modal file dialog as soon as it is open.
void whenOpen(std::function<void(QFileDialog*)> answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start(10);
}

} // namespace

TEST(QtFileDialogs, SaveDialogProposesItsNameAndAddsTheExtension)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtFileDialogs dialogs;
    QString name, proposed;
    QStringList filters;
    bool confirms = true;
    whenOpen([&](QFileDialog* dialog) {
        name = dialog->objectName();
        filters = dialog->nameFilters();
        proposed = dialog->selectedFiles().value(0);
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(folder.path());
        dialog->selectFile(QStringLiteral("site A"));
        static_cast<QDialog*>(dialog)->accept(); // as the Save button does
    });
    const QString path = dialogs.saveFile(GroupTransfer::dlgSave_20grp);
    EXPECT_EQ(path, folder.filePath("site A.datgrp"));
    EXPECT_EQ(name, "dlgSave_20grp");
    EXPECT_EQ(filters, QStringList{"(*.datgrp) (*.datgrp)"});
    EXPECT_TRUE(proposed.endsWith("/grp_data1.datgrp")) << proposed.toStdString();
    EXPECT_FALSE(confirms);

    // The one-group save asks before replacing; the next dialog starts where the last one ended.
    QString folderShown;
    whenOpen([&](QFileDialog* dialog) {
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        folderShown = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_TRUE(dialogs.saveFile(GroupTransfer::dlgSave_onegrp2pc).isEmpty());
    EXPECT_TRUE(confirms);
    EXPECT_EQ(folderShown, QDir(folder.path()).absolutePath());
}

TEST(QtFileDialogs, OpenDialogShowsItsPattern)
{
    QtFileDialogs dialogs;
    QStringList filters;
    whenOpen([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        dialog->reject();
    });
    EXPECT_TRUE(dialogs.openFile(GroupTransfer::dlgOpen_onegrp).isEmpty());
    EXPECT_EQ(filters, QStringList{"*.datdsp (*.datdsp)"});
}
