#pragma once
// The grid's file commands and the dialogs they open: row activation shows the file's
// properties, the right button opens the file operations dialog (one, modeless), and the
// Options menu item opens the options dialog. Only a live catalogue outside duplicate
// stepping is worked on.

#include "fileops/frmfileops.h"
#include "fileops/frmoptions.h"

#include <QPointer>
#include <functional>

struct FileCommandsControls {
    FileOpsControls fileOps;
    // Shows a file's properties; empty: ShowFileProperties.
    std::function<void(const QString &path)> showProperties;
};

class FileCommands : public OptionsSource {
public:
    // The state is handed on to the file operations dialog, whose deletes lower TotalFiles.
    FileCommands(FileCommandsControls controls, DisplayState &state);

    void mnuOptions_Click();
    void grdFiles_RowActivated();
    void grdFiles_MouseDown(int button);

    // Loaded hidden, all options off, when first asked for.
    [[nodiscard]] FrmOptions *optionsDialog() override;
    [[nodiscard]] FrmFileOps *fileOpsDialog() const { return m_fileOps; }

private:
    [[nodiscard]] bool mayWorkOnFiles() const;

    FileCommandsControls m_c;
    DisplayState &m_state;
    QPointer<FrmOptions> m_options;
    QPointer<FrmFileOps> m_fileOps;
};
