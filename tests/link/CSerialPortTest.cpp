// The serial port over pseudo-terminals: baud texts, device names, line settings read back from the
// slave, writes and queued counts. The refusals a user meets are checked through the feed document.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include "LinkTestSupport.h"
#include "link/CSerialPort.h"

namespace vrn
{
namespace
{
using test::Pty;

TEST(CSerialPortBaud, OnlyPlainStandardRatesParse)
{
    EXPECT_EQ(ParseBaudText("4800"), 4800);
    EXPECT_EQ(ParseBaudText("9600"), 9600);
    EXPECT_EQ(ParseBaudText("19200"), 19200);
    EXPECT_EQ(ParseBaudText(" 38400 "), 38400);
    EXPECT_EQ(ParseBaudText("115200"), 115200);
    for (const char* bad : {"", "0", "-4800", "4800x", "12345", "19 200", "x", "99999999999"})
        EXPECT_FALSE(ParseBaudText(bad)) << '"' << bad << '"';
}

TEST(CSerialPortNames, ComNamesMapToTtySAndPathsStayAsGiven)
{
    EXPECT_EQ(ResolvePortDevice("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortDevice("com4"), "/dev/ttyS3");
    EXPECT_EQ(ResolvePortDevice("COM12"), "/dev/ttyS11");
    EXPECT_EQ(ResolvePortDevice("/dev/serial/by-id/usb-x"), "/dev/serial/by-id/usb-x");
    EXPECT_EQ(ResolvePortDevice("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice(""), "");
    const std::map<std::string, std::string> overrides{{"com1", "/dev/ttyUSB0"}, {"COM2", ""}};
    EXPECT_EQ(ResolvePortDevice("COM1", overrides), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice("COM2", overrides), "/dev/ttyS1");  // an empty entry does not count
    EXPECT_EQ(ResolvePortDevice("/dev/pts/3", overrides), "/dev/pts/3");
}

TEST(CSerialPortOpen, SetsRawEightNOneAtTheRateAndReleasesExclusivityOnClose)
{
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    PortOpenFailure failure{};
    std::string error;
    {
        auto port = CSerialPort::Open(pty.Path(), 19200, failure, error);
        ASSERT_TRUE(port) << error;
        EXPECT_EQ(failure, PortOpenFailure::None);
        termios settings{};
        ASSERT_EQ(::tcgetattr(pty.Slave(), &settings), 0);
        EXPECT_EQ(::cfgetispeed(&settings), B19200);
        EXPECT_EQ(::cfgetospeed(&settings), B19200);
        EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
        int exclusive = 0;
        ASSERT_EQ(::ioctl(pty.Slave(), TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
    }
    int exclusive = 1;
    ASSERT_EQ(::ioctl(pty.Slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);  // else a non-root user could never open the port again
    EXPECT_TRUE(CSerialPort::Open(pty.Path(), 4800, failure, error)) << error;
}

TEST(CSerialPortIo, WritesArriveWholeAndQueuedBytesAreCounted)
{
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    PortOpenFailure failure{};
    std::string error;
    auto port = CSerialPort::Open(pty.Path(), 38400, failure, error);
    ASSERT_TRUE(port) << error;

    // More than a tty buffer holds: the write loop must go round EAGAIN while the test reads.
    std::vector<std::uint8_t> big(20000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> got;
    std::thread reader([&] { got = pty.Receive(big.size(), std::chrono::milliseconds(5000)); });
    EXPECT_EQ(port->Write(big), 1);
    reader.join();
    EXPECT_EQ(got, big);

    pty.Send(std::vector<std::uint8_t>(10, 0x41));
    EXPECT_TRUE(test::WaitFor([&] { return port->BytesWaiting() == 10; }));
    port->Purge();
    EXPECT_EQ(port->BytesWaiting(), 0u);
    port->SetDtr(true);  // no modem lines on a pseudo-terminal: harmless
    port->SetDtr(false);
}
}  // namespace
}  // namespace vrn
