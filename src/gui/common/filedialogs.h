#pragma once
// The Open and Save dialogs go through here, so tests choose a file or cancel without a
// person.

#include <QString>
#include <QStringList>

class QWidget;

struct FileDialogRequest {
    QString title;
    QString filter;   // one entry, "Tarvolo Files (*.trv)"
    QString folder;   // where the dialog starts
    QString fileName; // the name box's text; a full path starts the dialog in its folder
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The full paths of the files chosen, one or more; none when the dialog was cancelled.
    [[nodiscard]] virtual QStringList openFileNames(const FileDialogRequest &request) = 0;
    // The full path chosen; empty when the dialog was cancelled.
    [[nodiscard]] virtual QString saveFileName(const FileDialogRequest &request) = 0;
};

// The real ones: modal QFileDialogs over the given window. The name is taken as the user
// leaves it: no extension is added.
class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget *parent) : m_parent(parent) {}
    [[nodiscard]] QStringList openFileNames(const FileDialogRequest &request) override;
    [[nodiscard]] QString saveFileName(const FileDialogRequest &request) override;

private:
    QWidget *m_parent;
};
