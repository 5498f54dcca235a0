#pragma once
// What every command shares for what it says: its exit status, the form of its diagnostics and
// standard output written in large blocks.
#include <string>
#include <string_view>

namespace trv {

// As other Unix tools end.
enum Status : int {
    kSuccess = 0,
    kFailed = 1, // the output or a file could not be written
    kError = 2,  // a wrong command line, or an input that could not be read
};

// A diagnostic on standard error: "trv: ", the message, a line break.
[[gnu::format(printf, 1, 2)]] void complain(const char *format, ...);

// Records are many short lines: standard output takes them in large blocks.
void bufferStdout();

[[nodiscard]] bool write(std::string_view text);

// The status of a command once its output is flushed; what names that output in the
// diagnostic when it could not all be written.
[[nodiscard]] int printed(bool ok, const char *what);

// A sum of sizes: those read from a damaged or hand-made file can add up past 64 bits.
__extension__ typedef __int128 ByteTotal;

[[nodiscard]] std::string decimal(ByteTotal n);

} // namespace trv
