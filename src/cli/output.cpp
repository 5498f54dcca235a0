#include "output.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace trv {

// The message is made whole first, so that it reaches standard error in one write.
void complain(const char *format, ...)
{
    va_list arguments, again;
    va_start(arguments, format);
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    std::string message(std::size_t(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(message.data(), message.size(), format, again);
    va_end(again);
    va_end(arguments);
    std::fprintf(stderr, "trv: %s\n", message.c_str());
}

void bufferStdout()
{
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

bool write(std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

int printed(bool ok, const char *what)
{
    if (!ok || std::fflush(stdout) != 0) {
        complain("cannot write the %s: %s", what, std::strerror(errno));
        return kFailed;
    }
    return kSuccess;
}

std::string decimal(ByteTotal n)
{
    std::string digits;
    for (ByteTotal rest = n; rest != 0 || digits.empty(); rest /= 10) {
        const int digit = int(rest % 10); // negative below zero
        digits.push_back(char('0' + (digit < 0 ? -digit : digit)));
    }
    if (n < 0)
        digits.push_back('-');
    return {digits.rbegin(), digits.rend()};
}

} // namespace trv
