#pragma once
// Save As and Open: keeping a catalogue in a catalogue file and showing one again. A
// catalogue from a file cannot be saved again and switches the file commands off. Both
// read and write on a worker; an Open gives up nothing on show until its file was read.

#include "common/windowcontrols.h"

#include <QString>
#include <QStringList>
#include <memory>

class CatalogueFileJob;
class Sorting;
class FileDialogs;
class QLabel;
class QListWidget;

struct CatalogueFileControls : WindowControls {
    FileDialogs *dialogs = nullptr;
    QLabel *lblTotalFiles = nullptr;
    QLabel *lblDrives = nullptr;
    QListWidget *lstDriveNumFiles = nullptr;
    Sorting *sorting = nullptr; // SortIt and the order chosen
    QString folder;             // where the dialogs start; empty: a Tarvolo folder in Documents
};

class CatalogueFiles {
public:
    // Open writes the opened catalogue's part of the state: the catalogue, TotalFiles, the
    // caption's text and mblnLiveCatalogue.
    CatalogueFiles(CatalogueFileControls controls, DisplayState &state);
    ~CatalogueFiles();

    // Returns when the file is written: meanwhile the window repaints and keeps the user's
    // input for afterwards, so nothing changes the catalogue while it is read.
    void SaveAs();
    // Returns once the files are chosen; the window changes when they have been read. Several
    // files are shown as one catalogue, their records one file after the other.
    void OpenFile();

    [[nodiscard]] bool opening() const;
    // Clear and a new Open drop an open under way.
    void cancelOpen();
    // Exit: an open is dropped, a save is finished so no file is left half made.
    void stop();

private:
    [[nodiscard]] QString startFolder() const;
    [[nodiscard]] QString chooseSaveName();
    void reportSave(const QString &path);
    void openEnded();
    void showOpened();
    void reportSkipped();

    CatalogueFileControls c;
    DisplayState &m_state;
    QString m_fileName;    // the dialogs' file name, as the last Save As or Open left it
    QStringList m_opening; // the files an open under way reads
    bool m_openEndedDuringSave = false;
    std::unique_ptr<CatalogueFileJob> m_openJob, m_saveJob;
};

// Where the file dialogs start: the folder given, or else a Tarvolo folder in Documents;
// made when missing.
[[nodiscard]] QString tarvoloFolder(const QString &folder);

// The name of a catalogue file as the caption shows it: each ".trv" made four blanks.
[[nodiscard]] QString captionName(const QString &fileName);
// The name a catalogue is saved under, so that Open's "*.trv" lists it: ".trv" is added
// unless the name ends in it, and an ending ".TRV" in another case is made ".trv".
[[nodiscard]] QString withCatalogueExtension(const QString &fileName);
