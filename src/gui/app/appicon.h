#pragma once
// The program's icon, from the compiled-in resources, and the name of its desktop entry.

#include <QIcon>

namespace appicon {

// The installed desktop entry's and metainfo's name; the icon in the hicolor theme is
// named alike. Wayland desktops match the running program to its entry by it.
inline constexpr char kDesktopId[] = "org.tarvolo.Tarvolo";

// Every rendered size of the icon, so each window picks a sharp one.
[[nodiscard]] QIcon icon();

} // namespace appicon
