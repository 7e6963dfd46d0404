// A sum with a running compensation (Neumaier), so adding and taking away values for days leaves no
// drift worth a millimetre.
#pragma once

#include <cmath>

namespace vrn::analysis
{
struct CompensatedSum
{
    double sum = 0.0, compensation = 0.0;

    void Add(double value)
    {
        const double t = sum + value;
        if (std::fabs(sum) >= std::fabs(value))
            compensation += (sum - t) + value;
        else
            compensation += (value - t) + sum;
        sum = t;
    }
    [[nodiscard]] double Value() const { return sum + compensation; }
};
}  // namespace vrn::analysis
