#include "catalogue/listingsum.h"

#include "platform/filetime.h"

#include <vector>
#include <xxhash.h>

namespace {

// Raised whenever the same entries come to make other records.
constexpr std::uint64_t kRecordRules = 1;

// The zone's rules are sampled every six hours from 1970 to 2050: a change of offset or of
// the day or hour a season's offset begins shows in the local times of the samples.
constexpr std::int64_t kSampleSeconds = 6 * 3600;
constexpr std::int64_t kSampledUntil = 2524608000; // 2050-01-01

} // namespace

std::uint64_t listingSeed()
{
    std::vector<int> local;
    for (std::int64_t t = 0; t < kSampledUntil; t += kSampleSeconds) {
        const std::optional<LocalTime> l = toLocalTime({true, t, 0});
        if (l)
            local.insert(local.end(), {l->year, l->month, l->day, l->hour, l->minute});
    }
    return XXH3_64bits_withSeed(local.data(), local.size() * sizeof(int), kRecordRules);
}
