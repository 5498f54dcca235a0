// Exit with a catalogue on show: how long the process lives on after the Exit command,
// against the time the ordinary teardown (the window, then the catalogue, freed record by
// record) would take. Each run is a child process; the parent times it to its end.
// Usage: QT_QPA_PLATFORM=offscreen exit_bench [FILES]   (default 2500000)

#include "app/frmdisplay.h"
#include "grid/datagrid.h"
#include "synthetic.h"
#include "ui/messagesink.h"

#include <QAction>
#include <QApplication>

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

// In the child: a window with a catalogue of `files` records, then Exit. Writes the moment
// of Exit to `out` and returns only when the quit does.
int exitWithCatalogue(int files, bool realQuit, int out)
{
    int argc = 1;
    char name[] = "exit_bench";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QuietSink sink;
    FrmDisplay::Services services;
    services.messages = &sink;
    services.driveSource = [](DriveTables &) { return QStringList(); };
    if (!realQuit)
        services.quit = [] {}; // the teardown follows below, as at the end of main()
    auto *window = new FrmDisplay(services);
    DisplayState &s = window->state();
    fillSyntheticCatalogue(*s.catalogue, files);
    s.TotalFiles = s.catalogue->count();
    auto *grid = window->findChild<DataGrid *>(QStringLiteral("grdFiles"));
    grid->setDataSource(s.catalogue.get());
    window->show();
    QApplication::processEvents();

    const auto at = Clock::now().time_since_epoch().count();
    if (write(out, &at, sizeof at) != sizeof at)
        return 2;
    window->findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
    delete window;
    return 0;
}

double runOnce(int files, bool realQuit)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::exit(exitWithCatalogue(files, realQuit, pipeFds[1]));
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
    const int files = argc > 1 ? std::atoi(argv[1]) : 2'500'000;
    std::printf("files: %d\n", files);
    for (int round = 0; round < 3; ++round) {
        std::printf("Exit to process end: %.1f ms (goal < 500)\n", runOnce(files, true));
        std::printf("ordinary teardown to process end: %.1f ms\n", runOnce(files, false));
    }
    return 0;
}
