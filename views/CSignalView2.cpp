// Signal view of receiver 2.
#include "views/CSignalView2.h"

#include "link/Notifications.h"

namespace vrn::gui
{
CSignalView2::CSignalView2(QWidget* parent)
    : CSignalView({kViewSignal2, kHintBinary2, kHintNmea2, kHintSettings2, kHintPort2Started, kMsgSignal2Gone,
                   "SignalView2"},
                  parent)
{
}
}  // namespace vrn::gui
