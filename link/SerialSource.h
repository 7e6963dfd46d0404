// The serial device as a port's byte source: a CSerialPort waited on with poll, read without
// blocking, and written, DTR-switched and purged as before.
#pragma once

#include "link/ByteSource.h"
#include "link/CSerialPort.h"

namespace vrn
{
class CSerialSource final : public IByteSource
{
public:
    explicit CSerialSource(CSerialPort port) : m_port(std::move(port)) {}

    [[nodiscard]] bool Usable() const override;
    SourceWait Wait(int wakeFd, bool watch) override;
    SourceWait WaitForHangUp(int wakeFd) override;
    SourceRead Read(std::span<std::uint8_t> buffer) override;
    [[nodiscard]] std::size_t BytesWaiting() const override { return m_port.BytesWaiting(); }

    int Write(std::span<const std::uint8_t> bytes) override { return m_port.Write(bytes); }
    void SetDtr(bool on) override { m_port.SetDtr(on); }
    void Purge() override { m_port.Purge(); }
    void DiscardInput() override { m_port.DiscardInput(); }
    [[nodiscard]] std::string Describe() const override { return m_port.Device(); }

    [[nodiscard]] CSerialPort& Port() { return m_port; }

private:
    CSerialPort m_port;
};
}  // namespace vrn
