// The serial byte source; see the header.
#include "link/SerialSource.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace vrn
{
bool CSerialSource::Usable() const
{
    pollfd probe{m_port.Descriptor(), POLLIN, 0};
    return m_port.Descriptor() >= 0 && ::poll(&probe, 1, 0) >= 0 && (probe.revents & POLLNVAL) == 0;
}

SourceWait CSerialSource::Wait(int wakeFd, bool watch)
{
    SourceWait result;
    std::array<pollfd, 2> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{m_port.Descriptor(), POLLIN, 0}};
    const int ready = ::poll(fds.data(), watch ? 2 : 1, -1);
    if (ready < 0)
    {
        result.hangUp = errno != EINTR;
        return result;
    }
    result.woken = (fds[0].revents & POLLIN) != 0;
    const short events = watch ? fds[1].revents : short{0};
    result.readable = (events & POLLIN) != 0;
    // An invalid descriptor is a hang-up with nothing left to read.
    result.hangUp = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return result;
}

SourceWait CSerialSource::WaitForHangUp(int wakeFd)
{
    // No events asked of the tty: poll still reports POLLHUP and POLLERR, never its data.
    SourceWait result;
    std::array<pollfd, 2> fds{pollfd{wakeFd, POLLIN, 0}, pollfd{m_port.Descriptor(), 0, 0}};
    if (::poll(fds.data(), fds.size(), -1) < 0)
    {
        result.hangUp = errno != EINTR;
        return result;
    }
    result.woken = (fds[0].revents & POLLIN) != 0;
    result.hangUp = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return result;
}

SourceRead CSerialSource::Read(std::span<std::uint8_t> buffer)
{
    ssize_t n = 0;
    do
        n = ::read(m_port.Descriptor(), buffer.data(), buffer.size());
    while (n < 0 && errno == EINTR);
    if (n > 0)
        return {static_cast<std::size_t>(n), ReadStatus::Data};
    if (n < 0 && errno == EAGAIN)
        return {};
    return {0, ReadStatus::Ended};  // end of the stream, EIO after a hang-up, a closed descriptor
}
}  // namespace vrn
