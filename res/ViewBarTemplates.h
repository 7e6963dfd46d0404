// Templates of the views' dialog bars: the status panel under the sky charts (112) and the measure
// view's channel table (144). Same data format as the dialog templates.
#pragma once

#include "res/DialogTemplates.h"

namespace vrn::res
{
inline constexpr int kIddStatusPanel = 112;
inline constexpr int kIddMeasureBar = 144;

// Null for an id that is not a view template.
const DialogTemplate* FindViewTemplate(int id);
}  // namespace vrn::res
