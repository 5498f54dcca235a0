#include "fileops/fileopprompts.h"

#include <QMessageBox>

using fileop::Answer;
using fileop::Question;

ConfirmText confirmText(Question question, const QString &path, bool readOnly)
{
    const QString ro = readOnly ? QStringLiteral(" It is read-only.") : QString();
    switch (question) {
    case Question::ReplaceFile:
        return {QStringLiteral("Confirm File Replace"),
                QStringLiteral("The file %1 already exists.%2\n\nDo you want to replace it?").arg(path, ro)};
    case Question::MergeFolder:
        return {QStringLiteral("Confirm Folder Replace"),
                QStringLiteral("The folder %1 already exists.\n\nDo you want to put the items into it? A file of the "
                               "same name there is asked about before it is replaced.")
                    .arg(path)};
    case Question::DeleteFile:
        return {QStringLiteral("Confirm File Delete"),
                QStringLiteral("Are you sure you want to delete %1?%2\n\nIt is deleted permanently.").arg(path, ro)};
    case Question::DeleteFolder:
        return {QStringLiteral("Confirm Folder Delete"),
                QStringLiteral("Are you sure you want to delete the folder %1 and everything in it?\n\nIt is deleted "
                               "permanently.")
                    .arg(path)};
    case Question::CreateFolder:
        return {QStringLiteral("Confirm Create Folder"),
                QStringLiteral("The folder %1 does not exist.\n\nDo you want to create it?").arg(path)};
    }
    return {};
}

Answer MessageBoxPrompts::confirm(Question question, const QString &path, bool readOnly)
{
    const ConfirmText t = confirmText(question, path, readOnly);
    QMessageBox box(QMessageBox::Question, t.title, t.text,
                    QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel, m_parent);
    box.setObjectName(QStringLiteral("confirmFileOp"));
    box.setDefaultButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::YesToAll:
        return Answer::YesToAll;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void MessageBoxPrompts::error(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Error In File Operation"), text, QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("errorFileOp"));
    box.exec();
}
