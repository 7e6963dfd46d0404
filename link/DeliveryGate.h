// Back-pressure between a reader that may run ahead of the UI thread (a recording played as fast as
// possible) and the views: every record delivery carries a ticket, and the reader takes the next
// bytes only while fewer than a few tickets are out. A live receiver is never held back.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace vrn
{
// Shared by the reader (Take, Full, Descriptor, Drain) and whoever holds the tickets (the queued
// view updates on the UI thread, which drop them when they have run or were discarded).
class DeliveryGate : public std::enable_shared_from_this<DeliveryGate>
{
public:
    // At most `limit` tickets out before Full() holds.
    static std::shared_ptr<DeliveryGate> Create(std::size_t limit);
    ~DeliveryGate();
    DeliveryGate(const DeliveryGate&) = delete;
    DeliveryGate& operator=(const DeliveryGate&) = delete;

    // A ticket counted until its last copy goes.
    [[nodiscard]] std::shared_ptr<const void> Take();
    [[nodiscard]] bool Full() const { return m_out.load(std::memory_order_acquire) >= m_limit; }
    [[nodiscard]] std::size_t Outstanding() const { return m_out.load(std::memory_order_acquire); }
    // Readable once a ticket came back while the gate was full; -1 when no descriptor could be made
    // (then Full() never holds and nothing is held back).
    [[nodiscard]] int Descriptor() const { return m_fd; }
    void Drain();

private:
    friend class DeliveryTicket;
    explicit DeliveryGate(std::size_t limit);
    void Release();

    std::size_t m_limit;
    std::atomic<std::size_t> m_out{0};
    int m_fd = -1;
};
}  // namespace vrn
