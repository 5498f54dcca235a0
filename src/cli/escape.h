#pragma once
// A value trv prints never holds a raw tab, line break or other control character, so each
// line splits into its values for any reader.
#include <string>
#include <string_view>

namespace trv {

// Appends value with \t \n \r \\, \xHH for other control characters and \u{85} \u{2028}
// \u{2029} for the Unicode line and paragraph separators; other bytes stay as they are.
void appendEscaped(std::string &out, std::string_view value);

} // namespace trv
