#pragma once
// A main window over fake drives: three temporary folders offered as drive-list lines, a
// message sink that records every message, an empty help folder and a counted quit.

#include "app/frmdisplay.h"
#include "catalogue/layouts.h"
#include "common/filedialogs.h"
#include "common/printerdialog.h"
#include "display/displayfiles.h"
#include "grid/datagrid.h"
#include "grid/recordsetmodel.h"
#include "support/recordingsink.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// Answers the Open and Save dialogs with the next queued path (for Open, paths joined by
// new lines choose several files); an empty one cancels.
class ScriptedFileDialogs final : public FileDialogs {
public:
    QStringList openFileNames(const FileDialogRequest &r) override
    {
        return answer(r).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString saveFileName(const FileDialogRequest &r) override { return answer(r); }
    QStringList answers;
    std::vector<FileDialogRequest> asked;

private:
    QString answer(const FileDialogRequest &r)
    {
        asked.push_back(r);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

using Names = std::vector<std::string>;

// Every printer dialog is cancelled, so Print ends after its reminder.
class CancellingPrinterDialog final : public PrinterDialog {
public:
    bool choosePrinter(QPrinter &) override { return ++shown, false; }
    int shown = 0;
};

class WindowFixture : public ::testing::Test {
protected:
    static constexpr int kDriveA = 0, kDriveEmpty = 1, kDriveC = 2;

    WindowFixture()
    {
        makeFiles(drives[kDriveA].path(), {"beta", "Alpha"});
        makeFiles(drives[kDriveA].path() + "/sub", {"gamma"});
        makeFiles(drives[kDriveC].path(), {"other"});
        FrmDisplay::Services services;
        services.messages = &sink;
        services.printerDialog = &printerDialog;
        services.driveSource = [this](DriveTables &t) {
            ++driveListings;
            t.DriveRoots.fill(QStringLiteral(" "));
            t.SelectedDrives.fill(QStringLiteral(" "));
            for (std::size_t i = 0; i < drives.size(); ++i)
                t.DriveRoots[i] = drives[i].path() + u'/';
            return offeredLines();
        };
        services.helpSearchPath = {helpDir.path()};
        services.quit = [this] { ++quits; };
        services.fileDialogs = &fileDialogs;
        services.catalogueFolder = catalogueDir.path() + QStringLiteral("/Tarvolo");
        window = std::make_unique<FrmDisplay>(std::move(services));
        displayed = std::make_unique<QSignalSpy>(&window->displayCommands(), &DisplayCommands::displayed);
    }

    static void makeFiles(const QString &folder, const QStringList &names)
    {
        QDir().mkpath(folder);
        for (const QString &name : names)
            EXPECT_TRUE(QFile(folder + u'/' + name).open(QIODevice::WriteOnly));
    }
    [[nodiscard]] QStringList offeredLines() const
    {
        QStringList lines;
        for (const QTemporaryDir &d : drives)
            lines << d.path() + QStringLiteral(":  Is A Hard/Non-Removable Drive");
        return lines;
    }

    template <typename W = QWidget> [[nodiscard]] W *child(const char *name) const
    {
        W *w = window->findChild<W *>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    [[nodiscard]] QAction *act(const char *name) const
    {
        QAction *a = window->findChild<QAction *>(QLatin1String(name));
        EXPECT_TRUE(a) << name;
        return a;
    }
    [[nodiscard]] QString label(const char *name) const { return child<QLabel>(name)->text(); }
    [[nodiscard]] DataGrid *grid() const { return child<DataGrid>("grdFiles"); }
    [[nodiscard]] QListWidget *driveList() const { return child<QListWidget>("lstDriveNumFiles"); }
    [[nodiscard]] QStringList driveLines() const
    {
        QStringList lines;
        for (int i = 0; i < driveList()->count(); ++i)
            lines << driveList()->item(i)->text();
        return lines;
    }
    void select(std::initializer_list<int> rows) const
    {
        for (int r : rows)
            driveList()->item(r)->setSelected(true);
    }
    // Selects the drives, clicks DISPLAY and waits for the walk's end.
    [[nodiscard]] bool display(std::initializer_list<int> rows) const
    {
        select(rows);
        child<QPushButton>("cmdDisplay")->click();
        return displayed->wait(5000);
    }
    [[nodiscard]] Names catalogueNames() const
    {
        Names out;
        const RecordSet &rs = *window->state().catalogue;
        for (int i = 0; i < rs.count(); ++i) {
            std::string s = rs.utf8At(i, fld::LongName);
            out.push_back(s.substr(0, s.find_last_not_of(' ') + 1));
        }
        return out;
    }
    [[nodiscard]] Names checkedSortItems() const
    {
        Names out;
        for (QAction *a : window->findChildren<QAction *>())
            if (a->isChecked() && a->objectName().startsWith(u"mnu"))
                out.push_back(a->objectName().toStdString());
        return out;
    }

    // As after start-up: nothing displayed, the drives offered, no order chosen.
    void expectEmptyWindow() const
    {
        const DisplayState &s = window->state();
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Tarvolo  -  File Display"));
        EXPECT_EQ(s.TotalFiles, 0);
        EXPECT_EQ(grid()->dataSource(), &s.dummy);
        EXPECT_EQ(grid()->model()->rowCount(), 50);
        EXPECT_EQ(grid()->paneCount(), 2);
        EXPECT_EQ(grid()->columnCaption(0), QStringLiteral("LONG NAME"));
        EXPECT_EQ(s.catalogue->count(), 0);
        EXPECT_EQ(s.catalogue->fieldCount(), 9);
        EXPECT_EQ(driveLines(), offeredLines());
        EXPECT_TRUE(driveList()->selectedItems().isEmpty());
        EXPECT_EQ(s.drives.DriveRoots[1], drives[1].path() + u'/');
        EXPECT_EQ(s.drives.DriveRoots[3], QStringLiteral(" "));
        EXPECT_EQ(std::count(s.drives.SelectedDrives.begin(), s.drives.SelectedDrives.end(), " "), kMaxDrives);
        EXPECT_EQ(std::count(s.DriveFileCounts.begin(), s.DriveFileCounts.end(), 0), kMaxDrives);
        EXPECT_EQ(label("lblDrives"), QStringLiteral("Select Drive(s)"));
        EXPECT_EQ(label("lblTotalFiles"), QStringLiteral(" "));
        EXPECT_TRUE(checkedSortItems().empty());
        EXPECT_TRUE(act("DownArrow")->isVisible());
        EXPECT_FALSE(act("UpArrow")->isVisible() || act("FindDups")->isChecked());
        EXPECT_TRUE(child("lblSortType")->isHidden() && child("txtSearch")->isHidden());
        EXPECT_TRUE(child("txtSearch")->property("text").toString().isEmpty());
        EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
        EXPECT_FALSE(window->displayCommands().walking());
    }

    std::array<QTemporaryDir, 3> drives;
    QTemporaryDir helpDir;
    RecordingSink sink;
    CancellingPrinterDialog printerDialog;
    ScriptedFileDialogs fileDialogs;
    QTemporaryDir catalogueDir;
    int quits = 0;
    int driveListings = 0;
    std::unique_ptr<FrmDisplay> window;
    std::unique_ptr<QSignalSpy> displayed; // DisplayCommands::displayed
};
