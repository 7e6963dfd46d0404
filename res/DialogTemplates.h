// Dialog templates as data: every dialog of the program is a list of controls with numeric ids,
// kinds, texts and rectangles in dialog units, turned into widgets by CTemplateDialog.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vrn::res
{
enum class ControlKind : std::uint8_t
{
    Label,
    GroupBox,
    Edit,
    PushButton,
    DefaultButton,
    CheckBox,
    RadioButton,
    DropList,  // drop-down list, not editable
    Icon       // the program icon
};

// Style flags of a control.
inline constexpr unsigned kGroup = 1U << 0;     // first radio button of a group
inline constexpr unsigned kDisabled = 1U << 1;  // created disabled
inline constexpr unsigned kHidden = 1U << 2;    // never shown (kept for its value)
inline constexpr unsigned kSorted = 1U << 3;    // the list keeps its items sorted
inline constexpr unsigned kRight = 1U << 4;     // text aligned right

inline constexpr int kNoId = -1;  // a static control that code never addresses

struct ControlTemplate
{
    int id;
    ControlKind kind;
    std::string_view text;
    int x, y, w, h;  // dialog units; a drop-down list's height is that of its opened list
    unsigned style = 0;
    std::string_view items = {};  // list items separated by '\n'
};

struct DialogTemplate
{
    int id;
    std::string_view title;  // empty: set by the dialog when it opens
    int width, height;       // dialog units
    std::string_view fontName;
    int fontPoints;
    std::span<const ControlTemplate> controls;
};

// Template ids.
inline constexpr int kIddAbout = 100;
inline constexpr int kIddFileExists = 103;
inline constexpr int kIddPreferences = 109;
inline constexpr int kIddInputSettings = 110;
inline constexpr int kIddSkyChartConfig = 121;
inline constexpr int kIddReceiverInit = 122;
inline constexpr int kIddLogFileSettings = 131;
inline constexpr int kIddTrackMapPrefs = 133;
inline constexpr int kIddTtffCampaign = 140;
inline constexpr int kIddReferencePosition = 141;

// Null for an unknown id.
const DialogTemplate* FindDialogTemplate(int id);
std::span<const DialogTemplate> AllDialogTemplates();
}  // namespace vrn::res
