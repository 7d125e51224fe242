// The paint window's own colours: its bars, the tool panel and the popup menus drawn over it,
// one set beside the UI host's palette for the docked dialogs.
#pragma once

#include "hostapp/ui/canvas.h"

namespace hostapp::theme {

inline constexpr Rgba kBar{44, 45, 48, 255};      // menu bar and status bar
inline constexpr Rgba kPanel{50, 51, 54, 255};    // the tool panel and empty dock space
inline constexpr Rgba kMenu{58, 60, 64, 255};     // popup menus
inline constexpr Rgba kTabBack{38, 39, 42, 255};  // tabs and headings
inline constexpr Rgba kField{34, 35, 38, 255};    // boxes values are typed or shown in
inline constexpr Rgba kButton{70, 72, 78, 255};
inline constexpr Rgba kEdge{90, 92, 98, 255};
inline constexpr Rgba kText{222, 222, 222, 255};
inline constexpr Rgba kDim{120, 120, 124, 255};  // what cannot be changed now
inline constexpr Rgba kHeading{150, 180, 230, 255};
inline constexpr Rgba kAccent{86, 128, 196, 255};  // highlights, the open menu, progress

}  // namespace hostapp::theme
