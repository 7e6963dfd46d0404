// Delivery tickets; see the header.
#include "link/DeliveryGate.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace vrn
{
class DeliveryTicket
{
public:
    explicit DeliveryTicket(std::shared_ptr<DeliveryGate> gate) : m_gate(std::move(gate)) {}
    ~DeliveryTicket() { m_gate->Release(); }
    DeliveryTicket(const DeliveryTicket&) = delete;
    DeliveryTicket& operator=(const DeliveryTicket&) = delete;

private:
    std::shared_ptr<DeliveryGate> m_gate;
};

std::shared_ptr<DeliveryGate> DeliveryGate::Create(std::size_t limit)
{
    return std::shared_ptr<DeliveryGate>(new DeliveryGate(limit));
}

DeliveryGate::DeliveryGate(std::size_t limit) : m_limit(limit == 0 ? 1 : limit)
{
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0)
        m_limit = static_cast<std::size_t>(-1);
}

DeliveryGate::~DeliveryGate()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<const void> DeliveryGate::Take()
{
    m_out.fetch_add(1, std::memory_order_acq_rel);
    return std::make_shared<const DeliveryTicket>(shared_from_this());
}

void DeliveryGate::Release()
{
    // The count falling below the limit is what a waiting reader needs to hear.
    if (m_out.fetch_sub(1, std::memory_order_acq_rel) == m_limit && m_fd >= 0)
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
    }
}

void DeliveryGate::Drain()
{
    std::uint64_t count = 0;
    if (m_fd >= 0)
        [[maybe_unused]] const ssize_t n = ::read(m_fd, &count, sizeof count);
}
}  // namespace vrn
