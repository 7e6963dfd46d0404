// Update counters of the plain views.
#include "views/ViewSummary.h"

#include <QPainter>
#include <QRect>

#include "link/Notifications.h"
#include "protocol/CData.h"

namespace vrn::gui
{
void ViewSummary::Add(int hint, const CData* object)
{
    ++m_total;
    if (hint >= 0 && hint < kHintSlots)
        ++m_counts[static_cast<std::size_t>(hint)];
    int receiver = -1;
    if (hint == kHintBinary1 || hint == kHintNmea1)
        receiver = 0;
    else if (hint == kHintBinary2 || hint == kHintNmea2)
        receiver = 1;
    if (receiver >= 0 && object)
    {
        Receiver& r = m_receivers[static_cast<std::size_t>(receiver)];
        ++r.records;
        r.lastId = object->currentId;
        r.lastSequence = object->sequence;
    }
}

void ViewSummary::Clear() { *this = ViewSummary{}; }

int ViewSummary::Count(int hint) const
{
    return hint >= 0 && hint < kHintSlots ? m_counts[static_cast<std::size_t>(hint)] : 0;
}

QStringList ViewSummary::Lines() const
{
    QStringList lines;
    for (std::size_t i = 0; i < m_receivers.size(); ++i)
    {
        const Receiver& r = m_receivers[i];
        if (r.records == 0)
            lines << QStringLiteral("Receiver %1: no data").arg(i + 1);
        else
            lines << QStringLiteral("Receiver %1: %2 updates, last message id %3, packet %4")
                         .arg(i + 1)
                         .arg(r.records)
                         .arg(r.lastId)
                         .arg(r.lastSequence);
    }
    return lines;
}

void ViewSummary::Paint(QPainter& painter, const QRect& area, const QString& title) const
{
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    const int line = painter.fontMetrics().height() + 4;
    QRect row(area.left() + 10, area.top() + 8, area.width() - 20, line);
    painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, title);
    font.setBold(false);
    painter.setFont(font);
    for (const QString& text : Lines())
    {
        row.translate(0, line);
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}
}  // namespace vrn::gui
