// Images of the accuracy toolbar; see the header.
#include "res/AccuracyImages.h"

#include <QPainter>

#include "res/MenuResources.h"

namespace vrn::res
{
namespace
{
const QColor kInk(0, 0, 0);
const QColor kBlue(0, 70, 220);
const QColor kRed(220, 30, 30);
const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);

void DrawStatistics(QPainter& p)
{
    // A target: two rings and a scatter of points.
    p.setPen(QPen(kGrey, 1));
    p.setBrush(kWhite);
    p.drawEllipse(1, 1, 13, 12);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1));
    p.drawEllipse(4, 4, 7, 6);
    for (const QPoint q : {QPoint(7, 7), QPoint(6, 6), QPoint(9, 8), QPoint(5, 9), QPoint(8, 5), QPoint(11, 4)})
        p.fillRect(q.x(), q.y(), 2, 2, kBlue);
}

void DrawExport(QPainter& p)
{
    // A track leaving a page.
    p.setPen(kInk);
    p.setBrush(kWhite);
    p.drawRect(1, 1, 9, 12);
    p.setPen(QPen(kBlue, 1));
    p.drawPolyline(QPolygon({QPoint(3, 10), QPoint(5, 6), QPoint(7, 8), QPoint(9, 3)}));
    p.setPen(QPen(kRed, 2));
    p.drawLine(9, 8, 14, 8);
    p.drawLine(12, 6, 14, 8);
    p.drawLine(12, 10, 14, 8);
}

void DrawStopwatch(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(kWhite);
    p.drawEllipse(2, 3, 11, 11);
    p.fillRect(6, 0, 4, 2, kInk);
    p.setPen(QPen(kRed, 1));
    p.drawLine(8, 9, 8, 5);
    p.drawLine(8, 9, 11, 9);
}
}  // namespace

QPixmap AccuracyCommandImage(int id)
{
    if (id != kIdViewStatistics && id != kIdFileExportTrack && id != kIdTtffCampaign)
        return {};
    QPixmap pixmap(kToolbarImageWidth, kToolbarImageHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    if (id == kIdViewStatistics)
        DrawStatistics(p);
    else if (id == kIdFileExportTrack)
        DrawExport(p);
    else
        DrawStopwatch(p);
    return pixmap;
}
}  // namespace vrn::res
