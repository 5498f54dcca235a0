#include "common/filedialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

QStringList run(QWidget *parent, const FileDialogRequest &r, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, r.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    dialog.setNameFilter(r.filter);
    const QFileInfo name(r.fileName);
    dialog.setDirectory(name.isAbsolute() ? name.absolutePath() : r.folder);
    if (!r.fileName.isEmpty())
        dialog.selectFile(name.fileName());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace

QStringList QtFileDialogs::openFileNames(const FileDialogRequest &request)
{
    return run(m_parent, request, QFileDialog::AcceptOpen);
}

QString QtFileDialogs::saveFileName(const FileDialogRequest &request)
{
    const QStringList chosen = run(m_parent, request, QFileDialog::AcceptSave);
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}
