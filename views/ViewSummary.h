// What a plain view keeps of its updates until it draws the records themselves: how many updates of
// each hint arrived, and the last message id and packet sequence per receiver.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

class CData;
class QPainter;
class QRect;

namespace vrn::gui
{
class ViewSummary
{
public:
    static constexpr int kHintSlots = 12;  // hints 0..11

    void Add(int hint, const CData* object);
    void Clear();
    [[nodiscard]] int Count(int hint) const;
    [[nodiscard]] int Total() const { return m_total; }
    // Text lines describing both receivers.
    [[nodiscard]] QStringList Lines() const;
    // Draws `title` and the lines on white.
    void Paint(QPainter& painter, const QRect& area, const QString& title) const;

private:
    struct Receiver
    {
        int records = 0;
        int lastId = -1;
        std::uint32_t lastSequence = 0;
    };
    std::array<int, kHintSlots> m_counts{};
    std::array<Receiver, 2> m_receivers{};
    int m_total = 0;
};
}  // namespace vrn::gui
