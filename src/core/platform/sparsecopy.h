#pragma once
// Copies a file's data from one descriptor to another, keeping holes as holes: only the
// ranges that hold data (SEEK_DATA, SEEK_HOLE) are copied, and the length is set at the
// end. A file system that cannot tell holes has all of its file taken as data.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace sparsecopy {

struct Outcome {
    int err = 0;                // errno of a failure; 0 when it succeeded or step stopped it
    bool stopped = false;       // step asked to stop
    bool atDestination = false; // the failure was in writing
    std::int64_t length = 0;    // the length the copy was given
    [[nodiscard]] bool ok() const { return err == 0 && !stopped; }
};

// in and out are read and written from offset 0; out should be empty. step is called with
// the offset reached after each chunk of at most `chunk` bytes and returns false to stop.
[[nodiscard]] Outcome copy(int in, int out, std::size_t chunk, const std::function<bool(std::int64_t)> &step);

} // namespace sparsecopy
