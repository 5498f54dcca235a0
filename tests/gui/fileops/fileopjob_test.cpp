// Guards the file operation's worker as the dialog uses it: Cancel, and the program's end
// (which runs no destructors), leave no partial copy; the progress window never stands over
// a question; and the facts of the property window.
#include "app/programexit.h"
#include "fileops/fileopjob.h"
#include "fileops/fileopprogress.h"
#include "fileops/fileproperties.h"
#include "gui/fileops/scriptedprompts.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/inotify.h>

using fileop::Answer;

TEST(FileOpJobTest, CancelStopsACopyAndLeavesNoPartialFile)
{
    QTemporaryDir dir;
    {
        QFile f(dir.path() + QStringLiteral("/big"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(256) << 20));
    }
    ScriptedPrompts prompts;
    QWidget owner;
    FileOpJob job(prompts, &owner);
    QSignalSpy finished(&job, &FileOpJob::finished);
    job.start(fileop::Function::Copy, dir.path() + QStringLiteral("/big"), dir.path() + QStringLiteral("/copy"), 0);
    ASSERT_TRUE(job.progressWindow());
    job.cancel();
    ASSERT_TRUE(finished.wait(10000));
    const auto r = finished.front().front().value<fileop::Result>();
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"big"});
}

namespace {

constexpr const char *kDirVariable = "TARVOLO_EXIT_TEST_DIR";

// Starts a long copy, waits until its temporary appears, and ends the program.
void copyThenExit(const QString &dir)
{
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, QFile::encodeName(dir + "/dst").constData(), IN_CREATE) < 0)
        std::_Exit(2);
    ScriptedPrompts prompts;
    QWidget owner;
    FileOpJob job(prompts, &owner);
    job.start(fileop::Function::Copy, dir + "/big", dir + "/dst", fileop::Silent);
    pollfd p{watch, POLLIN, 0};
    if (::poll(&p, 1, 20000) != 1)
        std::_Exit(3);
    endProgramNow();
}

} // namespace

TEST(FileOpJobTest, EndingTheProgramMidCopyLeavesNoTemporary)
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

TEST(FileOpJobTest, TheProgressWindowWaitsForAnOpenQuestion)
{
    QTemporaryDir dir;
    for (const char *n : {"/a", "/b"})
        ASSERT_TRUE(QFile(dir.path() + QLatin1String(n)).open(QIODevice::WriteOnly));
    // Answers the way a person does: after a while, with the question's box on screen.
    class SlowPrompts final : public FileOpPrompts {
    public:
        Answer confirm(fileop::Question, const QString &, bool) override
        {
            QDialog question;
            question.setModal(true);
            question.show();
            QTest::qWait(600);
            progressShownDuringQuestion =
                progressShownDuringQuestion || (job && job->progressWindow() && job->progressWindow()->isVisible());
            return Answer::Yes;
        }
        void error(const QString &) override {}
        FileOpJob *job = nullptr;
        bool progressShownDuringQuestion = false;
    } prompts;
    QWidget owner;
    FileOpJob job(prompts, &owner);
    prompts.job = &job;
    QSignalSpy finished(&job, &FileOpJob::finished);
    job.start(fileop::Function::Copy, dir.path() + QStringLiteral("/a"), dir.path() + QStringLiteral("/b"), 0);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(prompts.progressShownDuringQuestion);
}

TEST(FilePropertiesTest, FactsComeFromTheResolvedFileAndAMissingPathGivesNone)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/Docs"));
    QFile f(dir.path() + QStringLiteral("/Docs/Report.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    const auto facts = readFileFacts(dir.path() + QStringLiteral("/DOCS/REPORT.TXT      "));
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->name, QStringLiteral("Report.txt"));
    EXPECT_EQ(facts->folder, dir.path() + QStringLiteral("/Docs"));
    EXPECT_EQ(facts->type, QStringLiteral("File"));
    EXPECT_TRUE(facts->size.startsWith(QStringLiteral("5 ")));
    EXPECT_FALSE(readFileFacts(dir.path() + QStringLiteral("/DOCS/REPORT.TX")));
}
