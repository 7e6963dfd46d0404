// The drawings of the Statistics view: the east/north scatter of each source's errors with its CEP50,
// CEP95 and 2DRMS circles, and the up-error and horizontal-error time series; also the table's texts
// and the definitions the view states in its tooltip. Everything paints into a QImage the caller
// owns, so the view and the tests draw the same way.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

#include "analysis/AccuracyWorkbench.h"

namespace statistics
{
using vrn::analysis::AccuracyTable;
using vrn::analysis::CAccuracyWorkbench;
using vrn::analysis::kSourceCount;
using vrn::analysis::SourceId;

using Tables = std::array<AccuracyTable, kSourceCount>;
using Shown = std::array<bool, kSourceCount>;

// Receiver 1 blue, receiver 2 green, the own fix red.
[[nodiscard]] QColor SourceColour(SourceId source);

// Where the scatter's metres land: the reference point at `centre`, east to the right, north up.
struct ScatterGeometry
{
    QPoint centre;
    double pixelsPerMetre = 1.0;
    double rangeM = 1.0;  // metres from the centre to the edge of the plot
};

// The scatter's range: the first of 1, 2, 5 × 10^k metres at or above 1.2 times the largest CEP95
// and 2DRMS of the shown sources; 1 m when none has a fix.
[[nodiscard]] double ScatterRange(const Tables& tables, const Shown& shown);
// The square plot inside `area` (a margin left for the labels) for `rangeM`.
[[nodiscard]] ScatterGeometry ScatterLayout(QRect area, double rangeM);
[[nodiscard]] QPoint ScatterPixel(const ScatterGeometry& geometry, double east, double north);
[[nodiscard]] int RadiusPixels(const ScatterGeometry& geometry, double metres);

// The scatter area and the two time-series areas of a view of `size`.
struct StatisticsLayout
{
    QRect scatter, up, horizontal;
};
[[nodiscard]] StatisticsLayout LayoutFor(QSize size);

// Paints the whole drawing (scatter, circles, both series) into `image`, of any size.
void PaintStatistics(QImage& image, const CAccuracyWorkbench& workbench, const Tables& tables, const Shown& shown);
void PaintScatter(QImage& image, QRect area, const CAccuracyWorkbench& workbench, const Tables& tables,
                  const Shown& shown);
enum class Series : std::uint8_t
{
    Up,
    Horizontal
};
// Both time series over the shown sources' time span: per pixel column a stroke from the smallest
// to the largest error of the epochs in it (one pass over each source for both plots).
void PaintSeriesPair(QImage& image, QRect upArea, QRect horizontalArea, const CAccuracyWorkbench& workbench,
                     const Shown& shown);

// The table's cell text of `column` (an index into vrn::analysis::TableColumns()).
[[nodiscard]] QString CellText(const AccuracyTable& table, std::size_t column);
// The definitions of the figures (the view's tooltip).
[[nodiscard]] QString Definitions();
}  // namespace statistics
