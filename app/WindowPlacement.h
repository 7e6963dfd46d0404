// Window placements kept in the profile: the ten keys WplLength .. WplNormalB of a section, taken
// from and applied to a Qt window (a top-level window or an MDI child frame).
#pragma once

#include <string_view>

class QWidget;

namespace vrn::gui
{
// Show states as the profile stores them.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;
inline constexpr int kPlacementLength = 44;  // size of the classic placement record

struct WindowPlacementRecord
{
    int length = kPlacementLength;
    int flags = 0;
    int showCmd = kShowNormal;
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int normalLeft = 0, normalTop = 0, normalRight = 0, normalBottom = 0;  // right = left + width
};

// The window's show state and normal (restored) rectangle.
WindowPlacementRecord CaptureWindowPlacement(const QWidget& window);
// Sets the normal rectangle and the show state; a maximised state is applied as normal. A top-level
// window placed off every screen is moved onto the nearest one.
void ApplyWindowPlacement(QWidget& window, const WindowPlacementRecord& placement);

// Writes the placement to `section` of the profile ("%d" of every field).
void SaveWindowPlacement(const QWidget& window, std::string_view section);
// Reads `section`: nothing happens when WplLength is missing or 0; otherwise the other keys
// (default 0) are applied, show state 3 (maximised) as 1 (normal).
void RestoreWindowPlacement(QWidget& window, std::string_view section);
}  // namespace vrn::gui
