#pragma once
// Real files in a temporary folder, a user whose answers are scripted, and mounts that are
// undone even when a test fails.

#include "platform/fileoperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

struct Asked {
    fileop::Question question;
    std::string path;
    bool readOnly;
};

class ScriptedUi final : public fileop::Interaction {
public:
    std::deque<fileop::Answer> answers; // runs out: Cancel, so an unexpected question fails safe
    std::vector<Asked> asked;
    std::vector<std::string> errors;
    std::int64_t cancelAfterBytes = -1;
    bool cancelNow = false;
    // Called with the source path and the bytes done after each chunk of a file.
    std::function<void(const std::string &path, std::int64_t done)> onChunk;

    fileop::Answer confirm(fileop::Question q, const std::string &path, bool readOnly) override
    {
        asked.push_back({q, path, readOnly});
        if (answers.empty())
            return fileop::Answer::Cancel;
        const fileop::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void error(const std::string &text) override { errors.push_back(text); }
    void progress(const std::string &path, std::int64_t done, std::int64_t, int) override
    {
        if (cancelAfterBytes >= 0 && done >= cancelAfterBytes)
            cancelNow = true;
        if (onChunk && done > 0)
            onChunk(path, done);
    }
    bool cancelled() override { return cancelNow; }
};

class FileOps : public testing::Test {
protected:
    QTemporaryDir tmp;
    ScriptedUi ui;

    [[nodiscard]] QString p(const QString &rel) const { return tmp.path() + "/" + rel; }
    [[nodiscard]] std::string s(const QString &rel) const { return p(rel).toStdString(); }
    [[nodiscard]] QByteArray c(const QString &rel) const { return p(rel).toLocal8Bit(); }
    void write(const QString &rel, const QByteArray &data) const
    {
        QDir().mkpath(QFileInfo(p(rel)).path());
        QFile f(p(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    [[nodiscard]] QByteArray read(const QString &rel) const
    {
        QFile f(p(rel));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    [[nodiscard]] bool exists(const QString &rel) const
    {
        return QFileInfo(p(rel)).exists() || QFileInfo(p(rel)).isSymLink();
    }
    [[nodiscard]] QStringList names(const QString &rel) const
    {
        return QDir(p(rel)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    fileop::Result run(fileop::Function f, const QString &from, const QString &to, std::uint16_t flags = 0)
    {
        return perform(f, from.isEmpty() ? std::string() : s(from), to.isEmpty() ? std::string() : s(to), flags, ui);
    }
    [[nodiscard]] std::string firstError() const { return ui.errors.empty() ? std::string() : ui.errors.front(); }
};

// Mounts need root; without it the test is skipped and says why.
class FileOpsMounted : public FileOps {
protected:
    std::vector<QByteArray> mounted; // undone last first

    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting needs root; the cases with other file systems and bind mounts are not run";
    }
    void TearDown() override
    {
        for (auto it = mounted.rbegin(); it != mounted.rend(); ++it)
            ::umount2(it->constData(), MNT_DETACH);
    }
    void mountAt(const QString &rel, bool readOnly, const char *size = "size=64m")
    {
        QDir().mkpath(p(rel));
        if (::mount("tmpfs", c(rel).constData(), "tmpfs", readOnly ? MS_RDONLY : 0, size) != 0)
            GTEST_SKIP() << "this machine refuses to mount a tmpfs";
        mounted.push_back(c(rel));
    }
    // Shows the folder `what` again at `where`, on the same file system.
    void bindAt(const QString &what, const QString &where)
    {
        QDir().mkpath(p(where));
        ASSERT_EQ(::mount(c(what).constData(), c(where).constData(), nullptr, MS_BIND, nullptr), 0);
        mounted.push_back(c(where));
    }
};
