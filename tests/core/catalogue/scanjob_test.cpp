// Guards the background walk: that its catalogue and counts are those of the tree, that
// it hands them over already in the asked order, and that a cancelled or replaced walk
// joins its thread and never reports an end, so the next walk starts clean.
#include "catalogue/layouts.h"
#include "catalogue/scanjob.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

void makeFiles(const QString &folder, const QStringList &names)
{
    QDir().mkpath(folder);
    for (const QString &name : names) {
        QFile f(folder + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    }
}

std::vector<std::string> longNames(const RecordSet &rs)
{
    std::vector<std::string> out;
    for (int i = 0; i < rs.count(); ++i) {
        std::string s = rs.utf8At(i, fld::LongName);
        out.push_back(s.substr(0, s.find_last_not_of(' ') + 1));
    }
    return out;
}

class ScanJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(a.isValid() && b.isValid());
        makeFiles(a.path(), {"mango", "apple"});
        makeFiles(a.path() + "/sub", {"zebra"});
        makeFiles(b.path(), {"kiwi", "banana"});
    }
    [[nodiscard]] std::vector<ScanJob::Drive> drives() const
    {
        return {{0, a.path().toStdString() + "/"}, {3, b.path().toStdString()}};
    }
    // A tree big enough that a walk is still going when the test acts on it.
    void makeLargeTree(int folders, int perFolder)
    {
        QStringList names;
        for (int f = 0; f < perFolder; ++f)
            names << QStringLiteral("file%1").arg(f);
        for (int d = 0; d < folders; ++d)
            makeFiles(large.path() + QStringLiteral("/d%1").arg(d), names);
    }

    QTemporaryDir a, b, large;
    ScanJob job;
    QSignalSpy finished{&job, &ScanJob::finished};
};

} // namespace

TEST_F(ScanJobTest, CountsEachDriveInItsOwnPositionAndHandsOverASortedCatalogue)
{
    job.start(drives(), QStringLiteral("Field1 Desc"));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(job.running());
    EXPECT_EQ(job.state().TotalFiles, 5);
    EXPECT_EQ(job.state().DriveFileCounts[0], 3);
    EXPECT_EQ(job.state().DriveFileCounts[3], 2);
    EXPECT_EQ(job.state().DriveFileCounts[1], 0);
    EXPECT_EQ(job.runningTotal(), 0); // under 100 files nothing is published

    const std::unique_ptr<RecordSet> rs = job.takeCatalogue();
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->sort(), QStringLiteral("Field1 Desc"));
    EXPECT_EQ(longNames(*rs), (std::vector<std::string>{"ZEBRA", "MANGO", "KIWI", "BANANA", "APPLE"}));
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(ScanJobTest, CancelMidWalkJoinsPromptlyAndNeverReportsAnEnd)
{
    makeLargeTree(40, 100);
    job.start({{0, large.path().toStdString()}}, QStringLiteral("Field1"));
    // No events run here, so the end cannot be reported before the cancel.
    QElapsedTimer clock;
    clock.start();
    while (job.runningTotal() < 100 && clock.elapsed() < 5000)
        std::this_thread::yield();
    ASSERT_GE(job.runningTotal(), 100);
    EXPECT_EQ(job.runningTotal() % 100, 0);

    job.cancel();
    EXPECT_FALSE(job.running());
    QCoreApplication::sendPostedEvents(); // delivers a queued end, had one been posted
    EXPECT_EQ(finished.count(), 0);
    job.cancel(); // harmless when nothing runs
}

TEST_F(ScanJobTest, AWalkStartedAfterCancelOrOverAnotherReportsOnlyItsOwnEnd)
{
    // The pauses run no events: each small walk ends and queues its report meanwhile.
    job.start(drives(), QStringLiteral("Field1"));
    QThread::msleep(100);
    job.cancel();
    job.start({{0, b.path().toStdString()}}, QStringLiteral("Field1"));
    QThread::msleep(100);
    job.start(drives(), QStringLiteral("Field1"));
    ASSERT_TRUE(finished.wait(5000));
    job.cancel(); // joins the worker: nothing is left to post
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(job.state().TotalFiles, 5);
    EXPECT_EQ(job.takeCatalogue()->count(), 5);
}

TEST_F(ScanJobTest, DestroyingARunningJobStopsItsWorker)
{
    makeLargeTree(20, 100);
    QObject receiver;
    int ends = 0;
    auto doomed = std::make_unique<ScanJob>();
    QObject::connect(doomed.get(), &ScanJob::finished, &receiver, [&ends] { ++ends; });
    doomed->start({{0, large.path().toStdString()}}, QStringLiteral("Field1"));
    doomed.reset();                       // must join the worker, or it writes into freed memory (ASan)
    QCoreApplication::sendPostedEvents(); // a stray queued end would be delivered here
    EXPECT_EQ(ends, 0);
}
