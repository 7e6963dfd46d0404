// Helpers of the analysis tests: positions placed at known east/north/up offsets from a point, and a
// plain two-pass computation of the statistics table to hold the incremental one against.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/AccuracyStatistics.h"
#include "analysis/PositionSeries.h"

namespace analysistest
{
using vrn::analysis::AccuracyTable;
using vrn::analysis::EnuError;
using vrn::analysis::PositionEpoch;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kA = 6378137.0;
inline constexpr double kE2 = 0.006694379990141317;

struct Point
{
    double latitudeDeg, longitudeDeg, heightM;
};

inline std::array<double, 3> ToEcef(const Point& p)
{
    const double lat = p.latitudeDeg * kPi / 180.0, lon = p.longitudeDeg * kPi / 180.0;
    const double n = kA / std::sqrt(1.0 - kE2 * std::sin(lat) * std::sin(lat));
    return {(n + p.heightM) * std::cos(lat) * std::cos(lon), (n + p.heightM) * std::cos(lat) * std::sin(lon),
            (n * (1.0 - kE2) + p.heightM) * std::sin(lat)};
}

// Iterated to convergence, so a point placed at an offset comes back at that offset to far below a
// micrometre.
inline Point FromEcef(const std::array<double, 3>& x)
{
    const double p = std::hypot(x[0], x[1]);
    const double lon = std::atan2(x[1], x[0]);
    double lat = std::atan2(x[2], p * (1.0 - kE2));
    double h = 0.0;
    for (int i = 0; i < 20; ++i)
    {
        const double n = kA / std::sqrt(1.0 - kE2 * std::sin(lat) * std::sin(lat));
        h = p / std::cos(lat) - n;
        lat = std::atan2(x[2], p * (1.0 - kE2 * n / (n + h)));
    }
    return {lat * 180.0 / kPi, lon * 180.0 / kPi, h};
}

// The point at east/north/up offsets from `origin`, in the local frame there.
inline Point Offset(const Point& origin, double e, double n, double u)
{
    const double lat = origin.latitudeDeg * kPi / 180.0, lon = origin.longitudeDeg * kPi / 180.0;
    const auto o = ToEcef(origin);
    const double sl = std::sin(lon), cl = std::cos(lon), sp = std::sin(lat), cp = std::cos(lat);
    return FromEcef({o[0] - sl * e - sp * cl * n + cp * cl * u, o[1] + cl * e - sp * sl * n + cp * sl * u,
                     o[2] + cp * n + sp * u});
}

inline PositionEpoch Epoch(const Point& p, int fixMode = 3, double gpsSeconds = -1.0)
{
    PositionEpoch e;
    e.latitudeDeg = p.latitudeDeg;
    e.longitudeDeg = p.longitudeDeg;
    e.heightM = p.heightM;
    e.fixMode = fixMode;
    e.satsUsed = 8;
    e.hdop = 1.1;
    if (gpsSeconds >= 0.0)
    {
        e.gpsWeek = static_cast<int>(gpsSeconds / 604800.0);
        e.gpsTowS = gpsSeconds - e.gpsWeek * 604800.0;
    }
    return e;
}

// Two passes over the errors of the fixed epochs; `epochs` is the count of all epochs.
inline AccuracyTable PlainTable(const std::vector<EnuError>& errors, std::uint64_t epochs)
{
    AccuracyTable t{};
    t.epochs = epochs;
    t.fixed = errors.size();
    const double nan = std::nan("");
    t.meanE = t.meanN = t.meanU = t.sdE = t.sdN = t.sdU = t.rmsH = t.rmsV = t.rms3D = nan;
    t.cep50 = t.cep95 = t.drms2 = t.maxH = nan;
    t.within.fill(nan);
    if (errors.empty())
        return t;
    const double n = static_cast<double>(errors.size());
    double se = 0, sn = 0, su = 0;
    for (const auto& x : errors)
        se += x.e, sn += x.n, su += x.u;
    t.meanE = se / n, t.meanN = sn / n, t.meanU = su / n;
    double ve = 0, vn = 0, vu = 0, hh = 0, uu = 0;
    std::vector<double> h;
    for (const auto& x : errors)
    {
        ve += (x.e - t.meanE) * (x.e - t.meanE);
        vn += (x.n - t.meanN) * (x.n - t.meanN);
        vu += (x.u - t.meanU) * (x.u - t.meanU);
        hh += x.e * x.e + x.n * x.n;
        uu += x.u * x.u;
        h.push_back(std::sqrt(x.e * x.e + x.n * x.n));
    }
    t.sdE = std::sqrt(ve / n), t.sdN = std::sqrt(vn / n), t.sdU = std::sqrt(vu / n);
    t.rmsH = std::sqrt(hh / n), t.rmsV = std::sqrt(uu / n), t.rms3D = std::sqrt((hh + uu) / n);
    t.drms2 = 2.0 * t.rmsH;
    std::sort(h.begin(), h.end());
    auto rank = [&](double p) { return static_cast<std::size_t>(std::ceil(p * n - 1e-9)); };
    t.cep50 = h[rank(0.50) - 1];
    t.cep95 = h[rank(0.95) - 1];
    t.maxH = h.back();
    const std::array<double, 4> radii{1, 2, 5, 10};
    for (std::size_t k = 0; k < radii.size(); ++k)
        t.within[k] = static_cast<double>(std::count_if(h.begin(), h.end(), [&](double v) { return v <= radii[k]; })) / n;
    return t;
}

// Every figure of two tables: counts equal, metres within `tolerance`, shares within 1e-9.
inline void ExpectSameTable(const AccuracyTable& got, const AccuracyTable& want, double tolerance,
                            const std::string& what)
{
    EXPECT_EQ(got.epochs, want.epochs) << what;
    EXPECT_EQ(got.fixed, want.fixed) << what;
    const std::array<std::pair<const char*, std::pair<double, double>>, 13> metres{{
        {"meanE", {got.meanE, want.meanE}}, {"meanN", {got.meanN, want.meanN}}, {"meanU", {got.meanU, want.meanU}},
        {"sdE", {got.sdE, want.sdE}},       {"sdN", {got.sdN, want.sdN}},       {"sdU", {got.sdU, want.sdU}},
        {"rmsH", {got.rmsH, want.rmsH}},    {"rmsV", {got.rmsV, want.rmsV}},    {"rms3D", {got.rms3D, want.rms3D}},
        {"cep50", {got.cep50, want.cep50}}, {"cep95", {got.cep95, want.cep95}}, {"drms2", {got.drms2, want.drms2}},
        {"maxH", {got.maxH, want.maxH}},
    }};
    for (const auto& [name, pair] : metres)
    {
        if (std::isnan(pair.second))
            EXPECT_TRUE(std::isnan(pair.first)) << what << " " << name;
        else
            EXPECT_NEAR(pair.first, pair.second, tolerance) << what << " " << name;
    }
    for (std::size_t k = 0; k < want.within.size(); ++k)
    {
        if (std::isnan(want.within[k]))
            EXPECT_TRUE(std::isnan(got.within[k])) << what << " within " << k;
        else
            EXPECT_NEAR(got.within[k], want.within[k], 1e-9) << what << " within " << k;
    }
}
}  // namespace analysistest
