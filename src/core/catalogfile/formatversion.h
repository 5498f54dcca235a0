#pragma once
// What identifies a catalogue file: SQLite's application_id and user_version. A newer
// version than this one is refused.

namespace cataloguefile {

constexpr int kApplicationId = 0x54525643; // "TRVC"
constexpr int kVersion = 1;

} // namespace cataloguefile
