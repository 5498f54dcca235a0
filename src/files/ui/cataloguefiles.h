#pragma once
// Save As and Open: keeping a catalogue in a catalogue file and showing one again. A
// catalogue from a file cannot be saved again and switches the file commands off.

#include "ui/windowcontrols.h"

#include <QString>
#include <functional>

class FileDialogs;
class QLabel;
class QListWidget;

struct CatalogueFileControls : WindowControls {
    FileDialogs *dialogs = nullptr;
    QLabel *lblTotalFiles = nullptr;
    QLabel *lblDrives = nullptr;
    QListWidget *lstDriveNumFiles = nullptr;
    std::function<void()> Clear, cancelWalk, SortIt;
    QString folder; // where the dialogs start; empty: a Tarvolo folder in Documents
};

class CatalogueFiles {
public:
    explicit CatalogueFiles(CatalogueFileControls controls);

    void SaveAs();
    void OpenFile();

private:
    [[nodiscard]] QString startFolder() const;
    void showOpened(const QString &path);

    CatalogueFileControls c;
    QString m_fileName; // the dialogs' file name, as the last Save As or Open left it
};

// Where the file dialogs start: the folder given, or else a Tarvolo folder in Documents;
// made when missing.
[[nodiscard]] QString tarvoloFolder(const QString &folder);

// The name of a catalogue file as the caption shows it: each ".trv" made four blanks.
[[nodiscard]] QString captionName(const QString &fileName);
