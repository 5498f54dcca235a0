#pragma once
// Exact names and paths kept small: most differ from the field they give only in the case
// of ASCII letters, so a value is kept as a mask of the letters to lower in the field's text
// and the bytes past its end; any other value is kept whole. Values go back to back in
// blobs of many records each: a row per file would double the time a save takes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace exactcodec {

// Appends `exact`, which gives `field` (the field's value without its trailing blanks);
// nullopt for a record that has none.
void append(std::string &out, const std::optional<std::string_view> &exact, std::string_view field);

// Takes the next value from `in` back, given the field it gives; false when the bytes are
// damaged. `has` tells whether the record has one.
[[nodiscard]] bool take(std::string_view &in, std::string_view field, bool &has, std::string &exact);

// Passes over the next value without its field; false when the bytes are damaged.
[[nodiscard]] bool skip(std::string_view &in);

} // namespace exactcodec
