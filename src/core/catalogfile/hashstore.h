#pragma once
// Content digests kept in a catalogue file, in a table of its own that readers which do not
// know it pass over: per file (its exact path), the algorithm, the size, modification time
// and inode the digest was taken for, and the digest. Written in place through SQLite
// transactions, a batch at a time, so a run killed at any point leaves the file whole, with
// the digests of every batch committed before.

#include "catalogfile/sqlitedb.h"
#include "catalogue/recordset.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace cataloguefile {

struct StoredDigest {
    std::int64_t size = 0, modifiedNs = 0;
    std::uint64_t inode = 0;
    std::array<unsigned char, 16> digest{}; // the algorithm's bytes
};

// By pathKey of the exact path: a digest is used only for the size, time and inode it was
// taken for, so two paths of one key would also need those alike to be mistaken.
using StoredDigests = std::unordered_map<std::uint64_t, StoredDigest>;
[[nodiscard]] std::uint64_t pathKey(std::string_view exactPath);

class HashStore {
public:
    static constexpr const char *kAlgorithm = "xxh3-128";

    // Reads the digests of kAlgorithm the file keeps (none for a file without them).
    [[nodiscard]] static bool load(const std::string &path, StoredDigests &out, std::string &error);

    // Opens the catalogue file to add digests to it, making their table where need be.
    [[nodiscard]] bool open(const std::string &path, std::string &error);
    // Adds or replaces the digest of the file at `exactPath`; kept once commit() returns.
    [[nodiscard]] bool put(const std::string &exactPath, const StoredDigest &d, std::string &error);
    [[nodiscard]] bool commit(std::string &error);
    // Drops the digest of the file at `exactPath`; gone once commit() returns.
    [[nodiscard]] bool forget(const std::string &exactPath, std::string &error);

private:
    template <typename F> bool guarded(F &&f, std::string &error);
    void beginIfNeeded();

    std::unique_ptr<sqlitedb::Db> m_db;
    std::unique_ptr<sqlitedb::Stmt> m_put, m_forget;
    bool m_inTransaction = false;
};

// After a save over oldFile: copies into newFile the digests oldFile kept for the paths the
// records still have, so that saving a catalogue again does not lose them. Digests are
// derived, so a failure only costs their taking again.
void carryDigests(const std::string &oldFile, const std::string &newFile, const RecordSet &records);

} // namespace cataloguefile
