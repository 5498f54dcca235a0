// Guards the escapes of printed values: each escaped character at every place of a value, so
// that the eight-bytes-at-a-time search misses none, and the near misses it must leave alone.
#include "cli/escape.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string escaped(std::string_view value)
{
    std::string out;
    trv::appendEscaped(out, value);
    return out;
}

} // namespace

TEST(Escape, EveryEscapedCharacterAtEveryPlaceOfAValue)
{
    const std::vector<std::pair<std::string, std::string>> characters{{"\t", "\\t"},
                                                                      {"\n", "\\n"},
                                                                      {"\r", "\\r"},
                                                                      {"\\", "\\\\"},
                                                                      {std::string(1, '\0'), "\\x00"},
                                                                      {"\x1f", "\\x1F"},
                                                                      {"\x7f", "\\x7F"},
                                                                      {"\xc2\x85", "\\u{85}"},
                                                                      {"\xe2\x80\xa8", "\\u{2028}"},
                                                                      {"\xe2\x80\xa9", "\\u{2029}"}};
    for (const auto &[raw, escape] : characters)
        for (std::size_t at = 0; at <= 17; ++at) {
            const std::string before(at, 'a'), after(17 - at, 'b');
            EXPECT_EQ(escaped(before + raw + after), before + escape + after) << escape << " at " << at;
        }
}

TEST(Escape, NearMissesAndOtherBytesStayAsTheyAre)
{
    for (const std::string value : {"caf\xc3\xa9 \xe2\x82\xac", "\xc2\xa0 no-break", "\xe2\x80\xa7 \xe2\x80\xaa",
                                    "bad \xff\xfe bytes", "cut \xc2", "cut \xe2\x80", "\xe2\x80", "~ !\"#", ""})
        EXPECT_EQ(escaped(value), value);
    std::string out = "kept|";
    trv::appendEscaped(out, "a\tb");
    EXPECT_EQ(out, "kept|a\\tb");
}
