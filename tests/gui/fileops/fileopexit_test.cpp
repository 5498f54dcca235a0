// Guards against the program's end leaving a partial copy's temporary in the destination:
// Exit ends the process without destructors, so it must stop and wait for a running copy.
#include "app/programexit.h"
#include "fileops/fileopjob.h"
#include "fileops/fileopprompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/inotify.h>

namespace {

class NoPrompts final : public FileOpPrompts {
public:
    fileop::Answer confirm(fileop::Question, const QString &, bool) override { return fileop::Answer::Cancel; }
    void error(const QString &) override {}
};

constexpr const char *kDirVariable = "TARVOLO_EXIT_TEST_DIR";

// Starts a long copy, waits until its temporary appears, and ends the program.
void copyThenExit(const QString &dir)
{
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, QFile::encodeName(dir + "/dst").constData(), IN_CREATE) < 0)
        std::_Exit(2);
    NoPrompts prompts;
    QWidget owner;
    FileOpJob job(prompts, &owner);
    job.start(fileop::Function::Copy, dir + "/big", dir + "/dst", fileop::Silent);
    pollfd p{watch, POLLIN, 0};
    if (::poll(&p, 1, 20000) != 1)
        std::_Exit(3);
    endProgramNow();
}

} // namespace

TEST(FileOpExit, EndingTheProgramMidCopyLeavesNoTemporary)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test again from the start and finds the folder in the variable.
    std::optional<QTemporaryDir> tmp;
    QString dir = qEnvironmentVariable(kDirVariable);
    if (dir.isEmpty()) {
        tmp.emplace();
        dir = tmp->path();
        QDir().mkpath(dir + "/dst");
        QFile f(dir + "/big");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, 'x');
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ(f.write(block), block.size());
        f.close();
        qputenv(kDirVariable, dir.toLocal8Bit());
    }
    EXPECT_EXIT(copyThenExit(dir), testing::ExitedWithCode(0), "");
    qunsetenv(kDirVariable);
    EXPECT_EQ(QDir(dir + "/dst").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}
