// A receiver fix made of the binary NAV and DOP records, for record sets whose own fix report is not
// filled (the set's `fix` stays at sequence 0). Only then: once the record set reports its own fix,
// that one is taken as it is. Owned by the one thread that parses the port.
#pragma once

#include "protocol/CData.h"
#include "protocol/ReceiverFix.h"

namespace vrn::analysis
{
class CBinaryFixFallback
{
public:
    // The fix report of the record set after its latest record: the set's own when it has one; else
    // one made of the NAV record (a new report each NAV) refined by the DOP record of the same time
    // (fix mode, HDOP), or a report without a fix for a DOP record whose time has no NAV record. Null
    // while there is nothing to report.
    const ReceiverFix* Offer(const CData& set);

private:
    ReceiverFix m_fix{};
    bool m_have = false;
};
}  // namespace vrn::analysis
