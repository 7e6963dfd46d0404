// Window placement helpers.
#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <array>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "config/CAppSettings.h"

namespace vrn::gui
{
namespace
{
constexpr std::array<std::string_view, 11> kKeys{"WplLength", "WplFlags",   "WplShowCmd", "WplMinX",
                                      "WplMinY",   "WplMaxX",    "WplMaxY",    "WplNormalL",
                                      "WplNormalT", "WplNormalR", "WplNormalB"};

// A rectangle that touches no screen is moved onto the nearest screen's available area.
QRect OntoNearestScreen(const QRect& rect)
{
    const auto screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return rect;
    QScreen* nearest = nullptr;
    long long best = std::numeric_limits<long long>::max();
    for (QScreen* screen : screens)
    {
        const QRect area = screen->availableGeometry();
        if (area.intersects(rect))
            return rect;
        const QPoint d = area.center() - rect.center();
        const long long distance = static_cast<long long>(d.x()) * d.x() + static_cast<long long>(d.y()) * d.y();
        if (distance < best)
        {
            best = distance;
            nearest = screen;
        }
    }
    const QRect area = nearest->availableGeometry();
    QRect moved = rect;
    moved.setSize(rect.size().boundedTo(area.size()));
    moved.moveTopLeft(area.topLeft());
    return moved;
}
}  // namespace

WindowPlacementRecord CaptureWindowPlacement(const QWidget& window)
{
    WindowPlacementRecord record;
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized)
        record.showCmd = kShowMinimized;
    else if (state & Qt::WindowMaximized)
        record.showCmd = kShowMaximized;
    QRect normal = window.isWindow() ? window.normalGeometry() : window.geometry();
    if (!normal.isValid())
        normal = window.geometry();
    record.normalLeft = normal.left();
    record.normalTop = normal.top();
    record.normalRight = normal.left() + normal.width();
    record.normalBottom = normal.top() + normal.height();
    return record;
}

void ApplyWindowPlacement(QWidget& window, const WindowPlacementRecord& placement)
{
    QRect normal(placement.normalLeft, placement.normalTop, placement.normalRight - placement.normalLeft,
                 placement.normalBottom - placement.normalTop);
    if (normal.width() > 0 && normal.height() > 0)
    {
        if (window.isWindow())
            normal = OntoNearestScreen(normal);
        window.setWindowState(window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        window.setGeometry(normal);
    }
    Qt::WindowStates state = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (placement.showCmd == kShowMinimized)
        state |= Qt::WindowMinimized;
    window.setWindowState(state);
}

void SaveWindowPlacement(const QWidget& window, std::string_view section)
{
    const WindowPlacementRecord r = CaptureWindowPlacement(window);
    const std::array<int, 11> values{r.length, r.flags,      r.showCmd,   r.minX,        r.minY,       r.maxX,
                          r.maxY,   r.normalLeft, r.normalTop, r.normalRight, r.normalBottom};
    std::vector<std::pair<std::string, std::string>> keys;
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        keys.emplace_back(std::string(kKeys[i]), std::to_string(values[i]));
    (void)CAppSettings::WriteProfileValues(section, keys);
}

void RestoreWindowPlacement(QWidget& window, std::string_view section)
{
    WindowPlacementRecord r;
    r.length = CAppSettings::ReadProfileInt(section, kKeys[0], 0);
    if (r.length == 0)
        return;
    const std::array<int*, 10> fields{&r.flags, &r.showCmd, &r.minX,        &r.minY,       &r.maxX,
                     &r.maxY,  &r.normalLeft, &r.normalTop, &r.normalRight, &r.normalBottom};
    for (std::size_t i = 0; i < fields.size(); ++i)
        *fields[i] = CAppSettings::ReadProfileInt(section, kKeys[i + 1], 0);
    if (r.showCmd == kShowMaximized)
        r.showCmd = kShowNormal;
    ApplyWindowPlacement(window, r);
}
}  // namespace vrn::gui
