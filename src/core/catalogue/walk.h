#pragma once
// The directory walk: every directory below a root, depth first, each directory's files
// recorded before its subdirectories are visited in ascending order of their upper-cased
// names. It stays on the root's device. It calls no widget: the window reads its progress.
// Worker threads read the directories ahead while the calling thread turns their entries
// into records in walk order: the kernel's work and ours overlap.

#include "catalogue/recordset.h"
#include "platform/filetime.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct DirEntry;
struct DirListing;
struct ListedDirectory;
class KnownListings;

constexpr int kMaxDrives = 26;
constexpr int kProgressStep = 100;

struct WalkState {
    qint64 TotalFiles = 0;
    std::array<qint64, kMaxDrives> DriveFileCounts{};
    int CurrentDrive = 0;
    int FilesSinceUpdate = 0;
};

class DirectoryWalk {
public:
    DirectoryWalk(RecordSet &catalogue, WalkState &state);

    // Checked between entries; once set, the walk ends within one entry.
    void setCancelFlag(const std::atomic<bool> *cancel) { m_cancel = cancel; }
    // Called with the running total every 100 files, as the total label shows it.
    void setProgress(std::function<void(qint64)> progress) { m_progress = std::move(progress); }
    // Called on the walk's thread once a directory's files are all recorded, so that they
    // can be read, or the records dropped, before the next directory's are added.
    void setDirectoryRecorded(std::function<void()> recorded) { m_recorded = std::move(recorded); }
    // Records the next directories' files in another catalogue of the same layout; called
    // between directories, from the callback above.
    void setCatalogue(RecordSet &catalogue) { m_catalogue = &catalogue; }
    // Threads that read directories ahead; 0 lets the machine's cores decide.
    void setListers(unsigned listers) { m_listers = listers; }
    // Listings of an earlier walk, for directories whose stamps are unchanged.
    void setKnownListings(const KnownListings *known) { m_known = known; }
    // Called on the walk's thread with each directory opened, once its files are recorded.
    void setListed(std::function<void(const ListedDirectory &)> listed) { m_listed = std::move(listed); }

    // Walks D (with or without a final "/") and everything below it.
    void FindDirs(const std::string &D);
    [[nodiscard]] bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    // Lists one directory: records its files and returns its subdirectories, in order. Only a
    // directory of the device FindDirs last walked, or of `device` once set, is listed.
    void ListDirectory(std::vector<std::string> &Dirs, const std::string &directory);
    void setDevice(std::uint64_t device) { m_device = device; }

private:
    void listInWalkOrder(const std::string &root);
    void recordFiles(const ListedDirectory &dir);
    void addFileRecord(const DirListing &listing, const DirEntry &e);
    void setTimeField(int field, const std::optional<LocalTime> &t);
    void countFile();

    RecordSet *m_catalogue;
    WalkState &m_state;
    const std::atomic<bool> *m_cancel = nullptr;
    std::function<void(qint64)> m_progress;
    std::function<void()> m_recorded;
    std::function<void(const ListedDirectory &)> m_listed;
    const KnownListings *m_known = nullptr;
    std::uint64_t m_device = 0;
    unsigned m_listers = 0;
    std::string m_pathValue, m_exactPath, m_longValue, m_shortValue;
};
