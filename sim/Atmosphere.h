// The simulated atmosphere: the broadcast (Klobuchar) ionosphere and a simple exponential
// troposphere with a 1/(sin E + 0.026) mapping. Both are the "true" delays the simulator adds to
// its pseudoranges.
#pragma once

#include "sim/Ephemeris.h"

namespace vrnsim
{

// L1 ionospheric group delay in metres for a receiver at `rx`, a satellite at `look`, at GPS
// time of week `tow`.
double IonosphericDelayM(const KlobucharCoefficients& k, const Geodetic& rx, const LookAngles& look,
                         double tow);

// Tropospheric delay in metres; zero for satellites below the horizon.
double TroposphericDelayM(double heightM, double elevation);

}  // namespace vrnsim
