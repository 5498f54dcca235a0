// Display of a real tree through the main window: how long the event loop is ever blocked
// from the press to the grid shown, and how soon after the walk's end the grid shows the
// catalogue. bench/displaybench.py runs it interleaved with `trv scan` of the same tree.
// Usage: display_bench [TREE]   (make one with bench/maketree.py TREE 1000000)

#include "app/frmdisplay.h"
#include "common/messagesink.h"
#include "display/displayfiles.h"
#include "grid/datagrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

class CountingSink final : public MessageSink {
public:
    void showMessage(const QString &text, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

// The longest gap between two ticks of a 5 ms timer: what a user would feel as a freeze.
class Heartbeat : public QObject {
public:
    Heartbeat()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { m_longest = std::max(m_longest, m_clock.restart()); });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    // The gap since the last tick counts too: the grid's taking over the catalogue blocks the
    // loop just before it is shown.
    void stop()
    {
        m_timer.stop();
        m_longest = std::max(m_longest, m_clock.elapsed());
    }
    [[nodiscard]] qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

double msSince(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString tree = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/tarvolo-bench-1m");

    CountingSink sink;
    FrmDisplay::Services services;
    services.messages = &sink;
    services.quit = [] {};
    services.driveSource = [tree](DriveTables &t) {
        t.DriveRoots.fill(QStringLiteral(" "));
        t.SelectedDrives.fill(QStringLiteral(" "));
        t.DriveRoots[0] = tree + u'/';
        return QStringList{tree + QStringLiteral(":  Is A Hard/Non-Removable Drive")};
    };
    FrmDisplay window(services);
    window.show();
    QApplication::processEvents();

    auto *drives = window.findChild<QListWidget *>(QStringLiteral("lstDriveNumFiles"));
    auto *grid = window.findChild<DataGrid *>(QStringLiteral("grdFiles"));
    drives->item(0)->setSelected(true);

    Heartbeat heartbeat;
    double shownAfterWalkMs = 0;
    QObject::connect(&window.displayCommands(), &DisplayCommands::displayed, &app, [&] {
        grid->repaint(); // the first paint of the new catalogue belongs to "shown"
        heartbeat.stop();
        shownAfterWalkMs = msSince(window.displayCommands().scanJob().walkEnded());
        QTimer::singleShot(0, &app, &QApplication::quit);
    });

    QElapsedTimer total;
    total.start();
    heartbeat.start();
    window.DisplayFiles();
    QApplication::exec();

    std::printf("files: %lld\n", static_cast<long long>(window.state().TotalFiles));
    std::printf("display, press to grid shown: %lld ms\n", static_cast<long long>(total.elapsed()));
    std::printf("event loop, longest block from press to grid shown: %lld ms (goal <= 50)\n",
                static_cast<long long>(heartbeat.longestMs()));
    std::printf("grid shown after the walk's end: %.0f ms (goal <= 1000)\n", shownAfterWalkMs);

    QElapsedTimer clear;
    clear.start();
    window.cmdClear_Click();
    std::printf("clear: %lld ms\n", static_cast<long long>(clear.elapsed()));
    return 0;
}
