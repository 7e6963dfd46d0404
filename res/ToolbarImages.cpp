// Toolbar images and program icon, drawn with QPainter so that no binary resource is needed.
// Images: 0 input settings, 1 initialise receiver 1, 2 port idle, 3 pause, 4 logging port 1,
// 5 signal view 1, 6 debug, 7 initialise receiver 2, 8 port idle (as 2), 9 pause (as 3),
// 10 logging port 2, 11 signal view 2, 12 debug, 13 pause highlighted, 14 port receiving.
#include "res/ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

#include "res/MenuResources.h"

namespace vrn::res
{
namespace
{
const QColor kInk(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kLight(192, 192, 192);
const QColor kWhite(255, 255, 255);
const QColor kBlue(0, 0, 160);
const QColor kTeal(0, 128, 128);
const QColor kGreen(0, 176, 0);
const QColor kDarkGreen(0, 96, 0);
const QColor kRed(200, 0, 0);
const QColor kYellow(255, 220, 0);

void DrawSettings(QPainter& p)
{
    // A form with two slider rows.
    p.fillRect(2, 1, 12, 13, kWhite);
    p.setPen(kInk);
    p.drawRect(2, 1, 11, 12);
    p.setPen(kGrey);
    p.drawLine(4, 5, 11, 5);
    p.drawLine(4, 9, 11, 9);
    p.fillRect(6, 4, 2, 3, kBlue);
    p.fillRect(9, 8, 2, 3, kBlue);
}

void DrawReceiverInit(QPainter& p, int receiver)
{
    // A dish antenna with the receiver number.
    p.setPen(QPen(kInk, 1));
    p.setBrush(kLight);
    QPainterPath dish;
    dish.moveTo(1, 3);
    dish.quadTo(3, 11, 10, 11);
    dish.closeSubpath();
    p.drawPath(dish);
    p.drawLine(4, 8, 8, 4);
    p.fillRect(8, 3, 2, 2, kRed);
    p.drawLine(5, 11, 3, 14);
    p.drawLine(7, 11, 9, 14);
    p.setPen(kBlue);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(10, 6, 6, 9), Qt::AlignCenter, QString::number(receiver));
}

void DrawPort(QPainter& p, bool receiving)
{
    // A serial connector with a lamp: dark while idle, bright green while data arrives.
    p.setPen(kInk);
    p.setBrush(kLight);
    QPolygon shell;
    shell << QPoint(1, 3) << QPoint(11, 3) << QPoint(10, 10) << QPoint(2, 10);
    p.drawPolygon(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int x = 3; x <= 9; x += 2)
        p.drawRect(x, 5, 1, 1);
    for (int x = 4; x <= 8; x += 2)
        p.drawRect(x, 7, 1, 1);
    p.setPen(kInk);
    p.drawLine(6, 10, 6, 14);
    p.setBrush(receiving ? kGreen : kDarkGreen);
    p.setPen(receiving ? kDarkGreen : kInk);
    p.drawEllipse(11, 9, 4, 4);
    if (receiving)
    {
        p.setPen(kGreen);
        p.drawLine(13, 6, 13, 7);
        p.drawLine(10, 8, 10, 8);
    }
}

void DrawPause(QPainter& p, bool lit)
{
    if (lit)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(kYellow);
        p.drawRoundedRect(1, 1, 14, 13, 3, 3);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(lit ? kRed : kBlue);
    p.drawRect(4, 3, 3, 9);
    p.drawRect(9, 3, 3, 9);
}

void DrawLogging(QPainter& p, int port)
{
    // A page with lines and a pencil.
    p.fillRect(2, 1, 10, 13, kWhite);
    p.setPen(kInk);
    p.drawRect(2, 1, 9, 12);
    p.setPen(kGrey);
    for (int y = 4; y <= 10; y += 2)
        p.drawLine(4, y, 9, y);
    p.setPen(QPen(kRed, 2));
    p.drawLine(9, 13, 14, 6);
    p.setPen(kBlue);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(3, 7, 6, 7), Qt::AlignCenter, QString::number(port));
}

void DrawSignal(QPainter& p, bool lines)
{
    p.fillRect(1, 1, 14, 13, kWhite);
    p.setPen(kInk);
    p.drawRect(1, 1, 13, 12);
    if (lines)
    {
        p.setPen(QPen(kTeal, 1));
        const std::array<QPoint, 6> points{QPoint(2, 11), QPoint(4, 7), QPoint(7, 9), QPoint(9, 4),
                                           QPoint(11, 6), QPoint(13, 3)};
        p.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    else
    {
        const std::array<int, 5> heights{4, 7, 9, 6, 8};
        for (std::size_t i = 0; i < heights.size(); ++i)
        {
            const int x = 3 + static_cast<int>(i) * 2;
            p.fillRect(x, 13 - heights[i], 1, heights[i], heights[i] >= 7 ? kGreen : kYellow);
        }
    }
}

void DrawDebug(QPainter& p)
{
    // A packet listing.
    p.fillRect(1, 1, 14, 13, kInk);
    p.setPen(kGreen);
    for (int y = 3; y <= 11; y += 2)
        p.drawLine(3, y, 3 + ((y * 5) % 9) + 2, y);
}

QPixmap Paint(int index)
{
    QPixmap pixmap(kToolbarImageWidth, kToolbarImageHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    switch (index)
    {
    case 0: DrawSettings(p); break;
    case 1: DrawReceiverInit(p, 1); break;
    case 2:
    case 8: DrawPort(p, false); break;
    case 3:
    case 9: DrawPause(p, false); break;
    case 4: DrawLogging(p, 1); break;
    case 5: DrawSignal(p, false); break;
    case 6:
    case 12: DrawDebug(p); break;
    case 7: DrawReceiverInit(p, 2); break;
    case 10: DrawLogging(p, 2); break;
    case 11: DrawSignal(p, true); break;
    case 13: DrawPause(p, true); break;
    case 14: DrawPort(p, true); break;
    default: break;
    }
    return pixmap;
}
}  // namespace

QPixmap ToolbarImage(int index)
{
    if (index < 0 || index >= kToolbarImageCount)
        return {};
    return Paint(index);
}

QImage ToolbarBitmap()
{
    QImage bitmap(kToolbarImageWidth * kToolbarImageCount, kToolbarImageHeight, QImage::Format_ARGB32);
    bitmap.fill(Qt::transparent);
    QPainter p(&bitmap);
    for (int i = 0; i < kToolbarImageCount; ++i)
        p.drawPixmap(i * kToolbarImageWidth, 0, Paint(i));
    return bitmap;
}

QPixmap ProgramIconPixmap(int size)
{
    // A sky chart: blue disc, two rings, a cross and three satellites, one with a velocity arrow.
    const int s = std::max(16, size);
    QPixmap pixmap(s, s);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(s / 64.0, s / 64.0);
    p.setPen(QPen(QColor(20, 40, 90), 2));
    p.setBrush(QColor(11, 121, 201));
    p.drawEllipse(QPointF(32, 32), 29, 29);
    p.setPen(QPen(QColor(220, 235, 255), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 19, 19);
    p.drawEllipse(QPointF(32, 32), 9, 9);
    p.drawLine(QPointF(32, 4), QPointF(32, 60));
    p.drawLine(QPointF(4, 32), QPointF(60, 32));
    p.setPen(QPen(QColor(20, 20, 20), 1.5));
    p.setBrush(QColor(0, 200, 0));
    p.drawEllipse(QPointF(20, 18), 5, 5);
    p.setBrush(QColor(255, 220, 0));
    p.drawEllipse(QPointF(45, 24), 5, 5);
    p.setBrush(QColor(230, 0, 0));
    p.drawEllipse(QPointF(40, 46), 5, 5);
    p.setPen(QPen(QColor(255, 255, 255), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 32), QPointF(22, 44));
    return pixmap;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(ProgramIconPixmap(size));
    return icon;
}
}  // namespace vrn::res
