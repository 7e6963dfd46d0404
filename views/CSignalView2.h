// "Signal View 2": the signal view of receiver 2.
#pragma once

#include "views/CSignalView.h"

namespace vrn::gui
{
class CSignalView2 : public CSignalView
{
    Q_OBJECT
public:
    explicit CSignalView2(QWidget* parent = nullptr);
};
}  // namespace vrn::gui
