#pragma once
// The file operations dialog: copy, move, rename or delete the file of the grid's current
// row (or whatever the user types) with the options of the options dialog. Modeless; it
// closes on success and stays open, as it was, on failure. A successful delete removes the
// row's record from the catalogue.

#include "common/windowcontrols.h"
#include "platform/fileoperation.h"

#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <vector>

class OptionsSource;
class FileOpJob;
class FileOpPrompts;
class FrmOptions;
class QLabel;
class QLineEdit;
class QPushButton;

// The parts of the main window the dialog reads and changes.
struct FileOpsControls : WindowControls {
    QLabel *lblTotalFiles = nullptr;
    FileOpPrompts *prompts = nullptr; // nullptr: message boxes
};

class FrmFileOps : public QDialog {
    Q_OBJECT
public:
    // A delete lowers TotalFiles; the option flags are read from the options dialog.
    FrmFileOps(FileOpsControls controls, DisplayState &state, OptionsSource &options, QWidget *parent = nullptr);
    ~FrmFileOps() override;

    void Form_Load();
    void cmdFileOp_Click(int index);
    void cmdCancel_Click();

    // The option flags as the options dialog's check boxes stand now.
    [[nodiscard]] std::uint16_t optionFlags() const;
    [[nodiscard]] FileOpJob &job() { return *m_job; }

    QLineEdit *txtSource;
    QLineEdit *txtDestination;
    std::array<QPushButton *, 4> cmdFileOp{};
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *cmdCancel;

signals:
    // After each operation, once the dialog has done its part.
    void operationDone(bool succeeded);

private:
    void buildControls();
    [[nodiscard]] QLineEdit *lineEdit(const char *name, int top, const char *tip);
    [[nodiscard]] QLabel *label(const char *name, const char *caption, int top, int lines);
    [[nodiscard]] QPushButton *button(const char *caption, int left, int width, int height);
    [[nodiscard]] int px(int twips) const;
    [[nodiscard]] int py(int twips) const;
    void onFinished(fileop::Result result);
    void setBusy(bool busy);

    FileOpsControls m_c;
    DisplayState &m_state;
    OptionsSource &m_options;
    std::unique_ptr<FileOpPrompts> m_ownPrompts;
    FileOpJob *m_job;
    bool m_isDelete = false;
    // The row current when the delete was asked for.
    RecordSet::Bookmark m_deleteBookmark = RecordSet::kNoBookmark;
};
