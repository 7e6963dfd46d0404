// The program's own fix as a receiver fix report: the navigation solution in full precision, in the
// same form as every receiver protocol's fix, so the accuracy analysis and the views read the own
// fix the way they read a receiver's.
#pragma once

#include "protocol/ReceiverFix.h"

class NavEngine;

// Degrees per radian, exactly as the --solution rows of vrnrcvr-replay convert, so both give the
// same latitude and longitude to the last bit.
inline constexpr double kOwnFixDegreesPerRadian = 57.29577951308232;

// Fills `fix` from the engine after a navigation epoch and counts one report. `solvedThisEpoch`:
// the epoch made a solution (the fix counter moved); otherwise the solution is the last one kept,
// reported with the mode indicator 'E' (estimated), and 'N' without any fix. Fix mode: 3 for a
// solution, 2 for an altitude-aided one, 1 for none. UTC is filled once the broadcast leap seconds
// are known.
void FillOwnFix(ReceiverFix& fix, const NavEngine& engine, bool solvedThisEpoch);
