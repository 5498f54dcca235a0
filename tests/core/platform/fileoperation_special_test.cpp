// Guards against a copy opening what is not a plain file (a FIFO, a device), a destination
// typed as a folder becoming a file, and temporaries left behind by a crash or removed
// while another operation still writes them.
#include "core/platform/fileopfixture.h"
#include "platform/fileoptemp.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

using namespace fileop;

namespace {

// Reports whether anything opened the watched files since the watch began.
class OpenWatch {
public:
    OpenWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~OpenWatch() { ::close(m_fd); }
    void watch(const QByteArray &path) { ASSERT_GE(::inotify_add_watch(m_fd, path.constData(), IN_OPEN), 0); }
    [[nodiscard]] bool opened() const
    {
        alignas(inotify_event) char buffer[4096];
        return ::read(m_fd, buffer, sizeof buffer) > 0;
    }

private:
    int m_fd;
};

bool isLocked(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace

TEST_F(FileOps, FifosAndDevicesAreRecreatedWithoutBeingOpened)
{
    write("tree/file", "f");
    ASSERT_EQ(::mkfifo(c("tree/pipe").constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod(c("tree/null").constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    OpenWatch watch;
    watch.watch(c("tree/pipe"));
    if (root) {
        watch.watch(c("tree/null"));
    }

    EXPECT_TRUE(run(Function::Copy, "tree", "copy").succeeded()) << firstError();
    EXPECT_FALSE(watch.opened());
    struct stat st;
    ASSERT_EQ(::lstat(c("copy/pipe").constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        ASSERT_EQ(::lstat(c("copy/null").constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_rdev, makedev(1, 3));
    }
    EXPECT_EQ(read("copy/file"), "f");
}

TEST_F(FileOps, ASocketIsNotCopiedAndTheCopyLeavesNothing)
{
    write("tree/file", "f");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray where = c("tree/sock");
    ASSERT_LT(std::size_t(where.size()), sizeof addr.sun_path);
    std::copy(where.begin(), where.end(), addr.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    const Result r = run(Function::Copy, "tree", "dst/copy", NoConfirmMkdir);
    ::close(sock);
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(names("dst").isEmpty());
}

TEST_F(FileOps, AFinalSlashNamesAFolderNeverAFile)
{
    write("f.txt", "x");
    write("plain", "p");
    ui.answers = {Answer::No};
    EXPECT_TRUE(run(Function::Copy, "f.txt", "asked/").aborted);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].question, Question::CreateFolder);
    EXPECT_FALSE(exists("asked"));

    ui.answers = {Answer::Yes};
    EXPECT_TRUE(run(Function::Copy, "f.txt", "asked/").succeeded()) << firstError();
    EXPECT_EQ(read("asked/f.txt"), "x");
    EXPECT_TRUE(run(Function::Move, "asked/f.txt", "deeper/still/", NoConfirmMkdir).succeeded());
    EXPECT_EQ(read("deeper/still/f.txt"), "x");
    EXPECT_EQ(ui.asked.size(), 2u);

    ui.errors.clear();
    const Result r = run(Function::Copy, "f.txt", "plain/", NoConfirmation);
    EXPECT_EQ(r.code, ENOTDIR);
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(read("plain"), "p");
}

TEST_F(FileOps, StaleTemporariesOfOursAreSweptAndNothingElse)
{
    write("f.txt", "x");
    const QString staleFile = "dst/" + QString::fromStdString(temp::nameFor(4242, 1));
    const QString staleDir = "dst/" + QString::fromStdString(temp::nameFor(4242, 2));
    const QString live = "dst/" + QString::fromStdString(temp::nameFor(4242, 3));
    write(staleFile, "half");
    write(staleDir + "/inner/part", "half");
    ASSERT_EQ(::chmod(c(staleDir + "/inner").constData(), 0500), 0);
    write(live, "being written");
    const int liveFd = ::open(c(live).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);
    // Names a person or another program could have chosen.
    const QStringList lookalikes = {"dst/.tarvolo-notes.tmp", "dst/.tarvolo-4242-1.tmp",
                                    "dst/" + QString::fromStdString(temp::nameFor(4242, 1)) + "x"};
    for (const QString &n : lookalikes)
        write(n, "mine");

    EXPECT_TRUE(run(Function::Copy, "f.txt", "dst").succeeded()) << firstError();
    ::close(liveFd);
    EXPECT_FALSE(exists(staleFile));
    EXPECT_FALSE(exists(staleDir));
    EXPECT_EQ(read(live), "being written");
    for (const QString &n : lookalikes)
        EXPECT_EQ(read(n), "mine") << n.toStdString();
    EXPECT_EQ(read("dst/f.txt"), "x");
}

TEST_F(FileOps, ATemporaryBeingWrittenIsLockedAndSurvivesAnotherOperation)
{
    write("big", QByteArray(20 << 20, 'b'));
    write("small", "s");
    QDir().mkpath(p("dst"));
    bool checked = false;
    ui.onChunk = [&](const std::string &path, std::int64_t) {
        if (checked || path != s("big"))
            return;
        checked = true;
        const QStringList temps = names("dst").filter(kTempPrefix);
        ASSERT_EQ(temps.size(), 1);
        EXPECT_TRUE(isLocked(c("dst/" + temps.front())));
        ScriptedUi other;
        EXPECT_TRUE(perform(Function::Copy, s("small"), s("dst"), 0, other).succeeded());
        EXPECT_TRUE(exists("dst/" + temps.front()));
    };
    EXPECT_TRUE(run(Function::Copy, "big", "dst").succeeded()) << firstError();
    EXPECT_TRUE(checked);
    EXPECT_EQ(names("dst"), (QStringList{"big", "small"}));
    EXPECT_EQ(read("dst/big").size(), 20 << 20);
}
