// Exit with a catalogue on show: how long the process lives on after the Exit command,
// against the time the ordinary teardown (the window, then the catalogue, freed record by
// record) would take. Each run is a child process; the parent times it to its end.
// Usage: QT_QPA_PLATFORM=offscreen exit_bench [FILES | TREE]   (default 2500000 synthetic
// records; a folder is walked by a real Display, e.g. one made by bench/maketree.py)

#include "app/frmdisplay.h"
#include "common/messagesink.h"
#include "display/displayfiles.h"
#include "grid/datagrid.h"
#include "synthetic.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QListWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class QuietSink final : public MessageSink {
public:
    void showMessage(const QString &, const QString &) override {}
};

// Fills the window's catalogue: `source` names a folder to walk or a count of records.
void fillCatalogue(FrmDisplay &window, const QString &source)
{
    DisplayState &s = window.state();
    if (!QFileInfo(source).isDir()) {
        fillSyntheticCatalogue(*s.catalogue, source.toInt());
        s.TotalFiles = s.catalogue->count();
        window.findChild<DataGrid *>(QStringLiteral("grdFiles"))->setDataSource(s.catalogue.get());
        return;
    }
    window.findChild<QListWidget *>(QStringLiteral("lstDriveNumFiles"))->item(0)->setSelected(true);
    QEventLoop loop;
    QObject::connect(&window.displayCommands(), &DisplayCommands::displayed, &loop, &QEventLoop::quit);
    window.DisplayFiles();
    loop.exec();
}

// In the child: a window with a catalogue on show, then Exit. Writes the moment of Exit
// to `out` and returns only when the quit does.
int exitWithCatalogue(const QString &source, bool realQuit, int out)
{
    int argc = 1;
    char name[] = "exit_bench";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QuietSink sink;
    FrmDisplay::Services services;
    services.messages = &sink;
    services.driveSource = [source](DriveTables &t) {
        t.DriveRoots.fill(QStringLiteral(" "));
        t.SelectedDrives.fill(QStringLiteral(" "));
        t.DriveRoots[0] = source + u'/';
        return QStringList{source + QStringLiteral(":  Is A Hard/Non-Removable Drive")};
    };
    if (!realQuit)
        services.quit = [] {}; // the teardown follows below, as at the end of main()
    auto *window = new FrmDisplay(services);
    window->show();
    fillCatalogue(*window, source);
    QApplication::processEvents();
    std::printf("  records: %lld\n", static_cast<long long>(window->state().TotalFiles));
    std::fflush(stdout);

    const auto at = Clock::now().time_since_epoch().count();
    if (write(out, &at, sizeof at) != sizeof at)
        return 2;
    window->findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
    delete window;
    return 0;
}

double runOnce(const QString &source, bool realQuit)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    std::fflush(stdout); // or the child would print it again
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::exit(exitWithCatalogue(source, realQuit, pipeFds[1]));
    }
    close(pipeFds[1]);
    Clock::rep at = 0;
    const bool told = read(pipeFds[0], &at, sizeof at) == sizeof at;
    int status = 0;
    waitpid(child, &status, 0);
    const auto ended = Clock::now().time_since_epoch().count();
    close(pipeFds[0]);
    if (!told)
        return -1;
    return std::chrono::duration<double, std::milli>(Clock::duration(ended - at)).count();
}

} // namespace

int main(int argc, char **argv)
{
    const QString source = QString::fromLocal8Bit(argc > 1 ? argv[1] : "2500000");
    for (int round = 0; round < 2; ++round) {
        std::printf("Exit to process end: %.1f ms (goal < 500)\n", runOnce(source, true));
        std::printf("ordinary teardown to process end: %.1f ms\n", runOnce(source, false));
    }
    return 0;
}
