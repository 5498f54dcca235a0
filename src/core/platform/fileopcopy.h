#pragma once
// The copy part of the file-operation engine, which a move across file systems uses too.

#include "platform/fileopengine.h"
#include "platform/movedsource.h"
#include "platform/uniquefd.h"

#include <cstdint>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace fileop {

// Copies items, folders with everything in them; each is written under a temporary name
// and takes its own only when complete.
class Copier {
public:
    // record: a move across file systems, which proves that each file arrived whole and
    // records each item copied; depth: how deep in a moved tree the copy starts.
    explicit Copier(Engine &engine, CopiedItems *record = nullptr, int depth = 0)
        : m_e(engine), m_record(record), m_depth(depth)
    {
    }
    bool entry(const Place &from, Place to, bool fresh = false);
    bool as(const Place &from, const struct stat &st, const Place &to, Decision d);

private:
    bool kind(const Place &from, const struct stat &st, const Place &to, Decision d);
    UniqueFd openSource(const Place &from, const struct stat &st, int how);
    bool copyFile(const Place &from, const struct stat &st, const Place &to, Decision d);
    std::int64_t copyData(int in, int out, std::int64_t size, const std::string &srcPath, const std::string &dstPath);
    bool stamp(int fd, const struct stat &st, const std::string &path);
    bool verifyWhole(int in, const struct stat &st, std::int64_t copied, const std::string &srcPath);
    bool copyLink(const Place &from, const struct stat &st, const Place &to, Decision d);
    bool copyByName(const struct stat &st, const Place &to, Decision d,
                    const std::function<int(int, const char *)> &make);
    bool place(const Place &to, const std::string &tmp, bool replace);
    bool settle(bool ok, const Place &to, const std::string &tmp, Decision d);
    bool copyFolder(const Place &from, const struct stat &st, const Place &to, Decision d);
    bool makeFolder(int in, const Place &from, const struct stat &st, const Place &to, bool fresh);
    bool settleFolder(bool ok, const Place &to, const std::string &tmp);
    bool mergeFolder(int in, const Place &from, const struct stat &st, const Place &to);
    bool copyChildren(int in, const std::string &srcPath, int out, const std::string &dstPath, bool fresh);

    Engine &m_e;
    CopiedItems *m_record;
    int m_depth;
};

} // namespace fileop
