#pragma once
// A file's properties: the desktop's file manager is asked over D-Bus; where none answers,
// a properties window of ours shows them. Nothing at all for a path that names no file.
// The file system is looked at off the window's thread and nothing waits for the answer.

#include <QDialog>
#include <optional>

class QWidget;

void ShowFileProperties(const QString &path, QWidget *owner);

struct FileFacts {
    QString name, folder, type, size, modified, created, accessed, owner, permissions;
};

// Our own properties window, one per request, deleted when closed.
class FrmProperties : public QDialog {
    Q_OBJECT
public:
    FrmProperties(const FileFacts &facts, QWidget *parent);
};

// The facts of the one item path resolves to (case-insensitively, padding ignored).
[[nodiscard]] std::optional<FileFacts> readFileFacts(const QString &path);
