#include "duplicates/contentgroups.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <thread>
#include <tuple>
#include <unordered_map>

namespace content {
namespace {

using Members = std::vector<std::size_t>;

constexpr unsigned kMaxReaders = 4;

const char *whyLeftOut(Read r)
{
    switch (r) {
    case Read::Vanished:
        return "it is gone";
    case Read::Changed:
        return "it changed while it was read, or since it was listed";
    default:
        return "it cannot be read";
    }
}

// Runs of two or more files of equal size; the links of one file count once.
std::vector<Members> bySize(const std::vector<Candidate> &c, const GroupOptions &options)
{
    Members all;
    // File systems by number: sorting by their names cost more than the rest of the sort.
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    std::vector<std::uint32_t> volume(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (c[i].stamp.size < options.minSize)
            continue;
        all.push_back(i);
        volume[i] = numbers.try_emplace(c[i].volume, std::uint32_t(numbers.size())).first->second;
    }
    const auto key = [&](std::size_t i) { return std::tuple(c[i].stamp.size, volume[i], c[i].stamp.inode); };
    // The index last: an order as stable as stable_sort's, at sort's cost.
    std::sort(all.begin(), all.end(),
              [&](std::size_t a, std::size_t b) { return std::tuple(key(a), a) < std::tuple(key(b), b); });
    std::vector<Members> runs;
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (k > 0 && key(all[k]) == key(all[k - 1]))
            continue; // another name of the same file
        if (k == 0 || c[all[k]].stamp.size != c[all[k - 1]].stamp.size)
            runs.emplace_back();
        runs.back().push_back(all[k]);
    }
    std::erase_if(runs, [](const Members &m) { return m.size() < 2; });
    return runs;
}

// Decides the runs of equal size it is given, one after another; each reader has its own.
class Grouper {
public:
    Grouper(const std::vector<Candidate> &candidates, const GroupOptions &options)
        : m_c(candidates), m_options(options), m_order(candidates.size())
    {
    }

    GroupResult &result() { return m_result; }

    void decide(const Members &same)
    {
        const bool anyStored = std::any_of(same.begin(), same.end(), [this](std::size_t i) { return m_c[i].stored; });
        std::vector<Members> candidates{same};
        // A stored digest is of the whole file: every other must then be read whole anyway.
        if (!anyStored && m_c[same.front()].stamp.size > 2 * kSampleBytes)
            candidates = split(same, true);
        for (const Members &m : candidates)
            for (Members &equal : split(m, false))
                keep(std::move(equal));
    }

private:
    // The members split by their digests (of a sample, or whole); groups of one dropped.
    std::vector<Members> split(const Members &members, bool sample)
    {
        std::map<Digest, Members> by;
        for (std::size_t i : inDiskOrder(members)) {
            Digest d;
            if (digest(i, sample, d))
                by[d].push_back(i);
        }
        std::vector<Members> out;
        for (auto &[d, m] : by) {
            if (m.size() < 2)
                continue;
            std::sort(m.begin(), m.end());
            out.push_back(std::move(m));
        }
        return out;
    }

    bool digest(std::size_t i, bool sample, Digest &out)
    {
        const Candidate &c = m_c[i];
        std::string error;
        Read r = Read::Ok;
        if (!sample && c.stored) {
            out = *c.stored; // taken for the stamp the file has (the caller stamped it just before)
        } else if (!c.online) {
            return false; // neither readable nor known
        } else {
            r = sample ? sampleDigest(c.path, c.stamp, out, error) : fullDigest(c.path, c.stamp, out, error);
            if (r == Read::Ok && !sample)
                m_result.digests.emplace_back(i, out);
        }
        if (r != Read::Ok)
            m_result.notes.emplace_back(c.path, error.empty() ? whyLeftOut(r) : error);
        return r == Read::Ok;
    }

    Members inDiskOrder(Members members)
    {
        for (std::size_t i : members)
            if (!m_order[i] && m_c[i].online)
                m_order[i] = diskOrder(m_c[i].path, m_c[i].stamp);
        std::stable_sort(members.begin(), members.end(), [this](std::size_t a, std::size_t b) {
            return std::tuple(m_c[a].stamp.device, m_order[a].value_or(0)) <
                   std::tuple(m_c[b].stamp.device, m_order[b].value_or(0));
        });
        return members;
    }

    // Compares the bytes of each member with the first that can be read, when asked.
    void keep(Members equal)
    {
        Group g{m_c[equal.front()].stamp.size, {}, true};
        for (std::size_t i : equal)
            g.verified = g.verified && m_c[i].online;
        if (m_options.compareBytes)
            equal = sameAsFirst(equal);
        g.members = std::move(equal);
        if (g.members.size() >= 2)
            m_result.groups.push_back(std::move(g));
    }

    Members sameAsFirst(const Members &equal)
    {
        Members out;
        for (std::size_t i : equal) {
            if (!m_c[i].online || out.empty()) {
                out.push_back(i);
                continue;
            }
            const Candidate &first = m_c[out.front()], &c = m_c[i];
            bool same = !first.online;
            std::string error;
            const Read r = first.online ? sameBytes(first.path, first.stamp, c.path, c.stamp, same, error) : Read::Ok;
            if (r == Read::Ok && same)
                out.push_back(i);
            else
                m_result.notes.emplace_back(c.path, r != Read::Ok ? std::string(whyLeftOut(r))
                                                                  : "its digest matches but its bytes differ");
        }
        return out;
    }

    const std::vector<Candidate> &m_c;
    const GroupOptions &m_options;
    std::vector<std::optional<std::uint64_t>> m_order;
    GroupResult m_result;
};

} // namespace

GroupResult contentGroups(const std::vector<Candidate> &candidates, const GroupOptions &options)
{
    const std::vector<Members> runs = bySize(candidates, options);
    // Readers on every core, a few at most: each holds at most two files open.
    const unsigned readers = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxReaders);
    std::vector<Grouper> groupers;
    for (unsigned r = 0; r < readers; ++r)
        groupers.emplace_back(candidates, options);
    std::atomic<std::size_t> next = 0;
    auto work = [&](Grouper &g) {
        for (std::size_t k; (k = next.fetch_add(1)) < runs.size();)
            g.decide(runs[k]);
    };
    {
        std::vector<std::jthread> threads;
        for (unsigned r = 1; r < readers; ++r)
            threads.emplace_back(work, std::ref(groupers[r]));
        work(groupers[0]);
    }
    GroupResult out;
    for (Grouper &g : groupers) {
        GroupResult &part = g.result();
        std::move(part.groups.begin(), part.groups.end(), std::back_inserter(out.groups));
        std::move(part.digests.begin(), part.digests.end(), std::back_inserter(out.digests));
        std::move(part.notes.begin(), part.notes.end(), std::back_inserter(out.notes));
    }
    // The same answer whichever reader decided which run.
    std::sort(out.groups.begin(), out.groups.end(), [](const Group &a, const Group &b) {
        return std::tuple(-a.wasted(), -a.size, a.members.front()) <
               std::tuple(-b.wasted(), -b.size, b.members.front());
    });
    std::sort(out.notes.begin(), out.notes.end());
    return out;
}

} // namespace content
