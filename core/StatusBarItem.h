#pragma once
// The four cells of the window's status bar, as carried in "SetStatusBar".

namespace keskor {

enum class StatusBarItem : int { Main = 0, Selected = 1, DBType = 2, Total = 3 };

} // namespace keskor
