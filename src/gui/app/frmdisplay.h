#pragma once
// The main window: the composition root. It owns the catalogue, the dummy record set,
// the grid, the drive list and the window state, builds the controls, menus and toolbar,
// and dispatches every menu item and toolbar button to its command.

#include "common/displaystate.h"
#include "common/windowprocedures.h"
#include "lookup/lookupcontrols.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class CatalogueFiles;
class DataGrid;
class DisplayCommands;
class FileDialogs;
class DuplicateFinder;
class FileCommands;
class FileOpPrompts;
class FrmAbout;
class HelpService;
class MessageSink;
class PrintCommand;
class PrinterDialog;
class ProportionalLayout;
class QuickSearchBox;
class Sorting;
class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolBar;

class FrmDisplay : public QMainWindow, private WindowProcedures {
    Q_OBJECT
public:
    struct Services {
        MessageSink *messages = nullptr;        // nullptr: real message boxes
        PrinterDialog *printerDialog = nullptr; // nullptr: Qt's printer dialog
        // Lines for the drive list; empty: this machine's mounted file systems.
        std::function<QStringList(DriveTables &)> driveSource;
        QStringList helpSearchPath;             // empty: beside the program
        std::function<void()> quit;             // empty: end the process at once
        FileOpPrompts *fileOpPrompts = nullptr; // nullptr: message boxes
        // Shows a file's properties; empty: the desktop's, or a window of ours.
        std::function<void(const QString &path)> showProperties;
        FileDialogs *fileDialogs = nullptr; // nullptr: real Open and Save dialogs
        QString catalogueFolder;            // empty: a Tarvolo folder in Documents

        // No drives offered and a quit that ends nothing: for a catalogue filled in by hand
        // (tests and benchmarks).
        [[nodiscard]] static Services withoutDrives(MessageSink *messages);
    };

    explicit FrmDisplay(QWidget *parent = nullptr);
    explicit FrmDisplay(Services services, QWidget *parent = nullptr);
    ~FrmDisplay() override;

    [[nodiscard]] DisplayState &state() { return m_state; }
    [[nodiscard]] QAction *action(const QString &name) const { return m_actions.value(name); }
    // The toolbar button of a key, as the dispatch receives it.
    void tbrTRVStd_ButtonClick(const QString &key);
    [[nodiscard]] DisplayCommands &displayCommands() { return *m_display; }
    [[nodiscard]] FrmAbout *aboutBox() const;
    [[nodiscard]] HelpService &helpService() { return *m_help; }
    [[nodiscard]] FileCommands &fileCommands() { return *m_files; }
    // The controls the lookup commands work on, and those commands, for tests and benches.
    [[nodiscard]] const WindowControls &windowControls() const { return m_controls; }
    [[nodiscard]] const LookupControls &lookupControls() const { return m_lookup; }
    [[nodiscard]] Sorting &sorting() { return *m_sorting; }
    [[nodiscard]] QuickSearchBox &quickSearch() { return *m_search; }
    [[nodiscard]] DuplicateFinder &duplicates() { return *m_dups; }

    // Commands of the menus and the toolbar.
    void DisplayFiles();
    void cmdClear_Click();
    void ShowHelp();
    void mnuExit_Click();
    void mnuAbout_Click();
    void mnuFindDuplicateFiles_Click();
    void OpenFile();
    void SaveAs();
    void mnuPrint_Click();
    [[nodiscard]] PrintCommand &printCommand() { return *m_print; }
    void mnuOptions_Click();

signals:
    // The grid's split layout was just reset (every sort does it).
    void splitDisplayReset();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void buildToolbar();
    void layOut();
    void wireCommands();
    void connectEvents();
    void startUp();
    void DummyRecordSet();
    // What the command sets ask of the window.
    void ResetSplitDisplay() override;
    void FormatColumns() override;
    void SplitDisplay() override;
    void Clear() override { cmdClear_Click(); }
    void cancelWalk() override;
    [[nodiscard]] bool catalogueOpening() const override;
    QAction *addAction(QWidget *menu, const QString &name, const QString &caption);

    // One row per command: its menu item, its toolbar key (with tooltip and a separator
    // after it), and the procedure both dispatch to.
    struct Command {
        const char *menuItem;
        const char *key;
        const char *tooltip;
        bool separatorAfter;
        std::function<void()> run;
    };
    [[nodiscard]] std::vector<Command> commandTable();

    Services m_services;
    std::vector<Command> m_commands;
    std::unique_ptr<MessageSink> m_ownMessages;
    std::unique_ptr<PrinterDialog> m_ownPrinterDialog;
    std::unique_ptr<FileDialogs> m_ownDialogs;
    DisplayState m_state;
    QHash<QString, QAction *> m_actions;

    QToolBar *tbrTRVStd = nullptr;
    QLabel *lblSortType = nullptr;
    QLineEdit *txtSearch = nullptr;
    DataGrid *grdFiles = nullptr;
    QLabel *lblDrives = nullptr;
    QLabel *lblTotals = nullptr;
    QPushButton *cmdDisplay = nullptr;
    QListWidget *lstDriveNumFiles = nullptr;
    QLabel *lblTotalFiles = nullptr;
    QPushButton *cmdClear = nullptr;
    ProportionalLayout *freeSizer1 = nullptr;

    WindowControls m_controls; // what every command set reaches, filled once
    LookupControls m_lookup;
    std::unique_ptr<Sorting> m_sorting;
    std::unique_ptr<QuickSearchBox> m_search;
    std::unique_ptr<DuplicateFinder> m_dups;
    std::unique_ptr<PrintCommand> m_print;
    std::unique_ptr<FileCommands> m_files;
    DisplayCommands *m_display = nullptr;
    std::unique_ptr<CatalogueFiles> m_catalogueFiles;
    std::unique_ptr<HelpService> m_help;
    QPointer<FrmAbout> m_about;
};
