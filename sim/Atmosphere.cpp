// Klobuchar ionosphere (in semicircles, as IS-GPS-200 states it) and troposphere.
#include "sim/Atmosphere.h"

#include <algorithm>
#include <cmath>

namespace vrnsim
{

double IonosphericDelayM(const KlobucharCoefficients& k, const Geodetic& rx, const LookAngles& look,
                         double tow)
{
    if (look.elevation < 0.0)
        return 0.0;
    const double el = look.elevation / kGpsPi;        // semicircles
    const double psi = 0.0137 / (el + 0.11) - 0.022;  // earth-centred angle to the pierce point
    const double latI = std::clamp(rx.latitude / kGpsPi + psi * std::cos(look.azimuth), -0.416, 0.416);
    const double lonI = rx.longitude / kGpsPi + psi * std::sin(look.azimuth) / std::cos(latI * kGpsPi);
    const double latM = latI + 0.064 * std::cos((lonI - 1.617) * kGpsPi);  // geomagnetic latitude
    double localTime = std::fmod(4.32e4 * lonI + tow, 86400.0);
    if (localTime < 0.0)
        localTime += 86400.0;
    const double amplitude =
        std::max(0.0, k.alpha[0] + latM * (k.alpha[1] + latM * (k.alpha[2] + latM * k.alpha[3])));
    const double period =
        std::max(72000.0, k.beta[0] + latM * (k.beta[1] + latM * (k.beta[2] + latM * k.beta[3])));
    const double phase = 2.0 * kGpsPi * (localTime - 50400.0) / period;
    const double slant = 1.0 + 16.0 * std::pow(0.53 - el, 3.0);
    double delayS = 5.0e-9;
    if (std::abs(phase) < 1.57)
        delayS += amplitude * (1.0 - phase * phase / 2.0 + phase * phase * phase * phase / 24.0);
    return slant * delayS * kSpeedOfLight;
}

double TroposphericDelayM(double heightM, double elevation)
{
    if (elevation < 0.0)
        return 0.0;
    constexpr double kZenithDelayM = 2.4224;  // sea level
    constexpr double kScaleHeightM = 7492.8;
    const double zenith = kZenithDelayM * std::exp(-std::max(heightM, -500.0) / kScaleHeightM);
    return zenith / (std::sin(elevation) + 0.026);
}

}  // namespace vrnsim
