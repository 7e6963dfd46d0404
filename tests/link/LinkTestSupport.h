// Test doubles and helpers of the link tests: pseudo-terminal pairs, a temporary profile, recording
// views and a recording frame, and waits that return as soon as their condition holds.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/CAppSettings.h"
#include "link/CFeedDoc.h"
#include "link/ViewLinks.h"
#include "protocol/CData.h"

namespace vrn::test
{
using namespace std::chrono_literals;

// Waits up to `limit` for `done` (polled every millisecond); returns its last value.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return done();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// One pseudo-terminal pair. The program opens `path` like a serial device; the test writes the
// receiver's bytes to `master` and reads what the program sends from it. The test keeps its own
// slave descriptor open, so the tty stays alive between the program's opens and its termios can be
// read back.
class Pty
{
public:
    Pty()
    {
        std::array<char, 128> name{};
        if (::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr) == 0)
            m_path = name.data();
        if (m_master >= 0)
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] bool Ok() const { return !m_path.empty(); }
    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] int Master() const { return m_master; }
    [[nodiscard]] int Slave() const { return m_slave; }

    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // Writes all bytes to the master (the receiver's side).
    void Send(const std::vector<std::uint8_t>& bytes) const
    {
        std::size_t done = 0;
        while (done < bytes.size())
        {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else
            {
                pollfd wait{m_master, POLLOUT, 0};
                ::poll(&wait, 1, 10);
            }
        }
    }
    void Send(const std::string& text) const { Send(std::vector<std::uint8_t>(text.begin(), text.end())); }

    // Reads what the program wrote, waiting up to `limit` for `count` bytes.
    [[nodiscard]] std::vector<std::uint8_t> Receive(std::size_t count,
                                                    std::chrono::milliseconds limit = 2000ms) const
    {
        std::vector<std::uint8_t> out;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (out.size() < count && std::chrono::steady_clock::now() < end)
        {
            std::array<std::uint8_t, 256> buffer{};
            const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
            if (n > 0)
                out.insert(out.end(), buffer.begin(), buffer.begin() + n);
            else
            {
                pollfd wait{m_master, POLLIN, 0};
                ::poll(&wait, 1, 10);
            }
        }
        return out;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// A profile of its own in a fresh temporary directory, installed for the process while it lives.
class TempProfile
{
public:
    TempProfile()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::path(VRN_BINARY_DIR) / "link-test" /
                (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        CAppSettings::SetProfilePath((m_dir / "vrnrcvr.ini").string());
    }
    ~TempProfile()
    {
        CAppSettings::SetProfilePath({});
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    [[nodiscard]] const std::filesystem::path& Dir() const { return m_dir; }

    static void Set(std::string_view section, std::string_view key, std::string_view value)
    {
        ASSERT_TRUE(CAppSettings::WriteProfileText(section, key, value));
    }
    // Port `index` on `device` at `baud` with receiver protocol `protocol`.
    static void SetPort(int index, const std::string& device, std::string_view baud, int protocol)
    {
        Set("Data Sources", index == 0 ? "MeasSerialPort" : "MeasSerialPort2", device);
        Set("Data Sources", index == 0 ? "MeasSerialBaud" : "MeasSerialBaud2", baud);
        Set(index == 0 ? "ReceiverInit1" : "ReceiverInit2", "Protocol", std::to_string(protocol));
    }

private:
    std::filesystem::path m_dir;
};

// A view that records what the reader posts to it (on the reader thread).
class RecordingView final : public IViewHandle
{
public:
    void PostRecord(const RecordDelivery& delivery) override
    {
        std::lock_guard lock(m_mutex);
        m_deliveries.push_back(delivery);
        m_deliveries.back().ticket.reset();  // handled at once, as far as a paced reader is concerned
    }
    [[nodiscard]] std::vector<RecordDelivery> Deliveries() const
    {
        std::lock_guard lock(m_mutex);
        return m_deliveries;
    }
    [[nodiscard]] std::size_t Count() const
    {
        std::lock_guard lock(m_mutex);
        return m_deliveries.size();
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_deliveries.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<RecordDelivery> m_deliveries;
};

struct HintCall
{
    int hint;
    bool withObject;
};

// The accuracy analysis' side: what the readers post to it (on the reader threads).
class RecordingFixes final : public IFixHandle
{
public:
    void PostFix(const FixDelivery& delivery) override
    {
        std::lock_guard lock(m_mutex);
        m_deliveries.push_back(delivery);
    }
    [[nodiscard]] std::vector<FixDelivery> Deliveries() const
    {
        std::lock_guard lock(m_mutex);
        return m_deliveries;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<FixDelivery> m_deliveries;
};

// The document's views: handles in creation order, and the hints of "update all views".
class RecordingRegistry final : public IViewRegistry
{
public:
    [[nodiscard]] std::shared_ptr<IFixHandle> FixHandle() const override { return fixes; }
    std::shared_ptr<RecordingFixes> fixes;  // none unless a test sets it

    std::shared_ptr<RecordingView> AddView()
    {
        auto view = std::make_shared<RecordingView>();
        m_views.push_back(view);
        return view;
    }
    void RemoveView(const std::shared_ptr<RecordingView>& view)
    {
        m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    }
    void UpdateAllViews(int hint, const CData* object) override
    {
        hints.push_back({hint, object != nullptr});
    }
    [[nodiscard]] std::vector<std::shared_ptr<IViewHandle>> ViewHandles() const override
    {
        return {m_views.begin(), m_views.end()};
    }

    std::vector<HintCall> hints;

private:
    std::vector<std::shared_ptr<RecordingView>> m_views;
};

// The main frame: sent codes (UI thread) and posted codes (any thread).
class RecordingFrame final : public IMainFrame
{
public:
    void SendCode(unsigned code) override
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back(code);
    }
    void PostCode(unsigned code) override
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(code);
    }
    [[nodiscard]] std::vector<unsigned> Sent() const
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    [[nodiscard]] std::size_t PostedCount(unsigned code) const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(std::count(m_posted.begin(), m_posted.end(), code));
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_posted.clear();
        m_sent.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<unsigned> m_sent;
    std::vector<unsigned> m_posted;
};
}  // namespace vrn::test

namespace vrn::test
{
// A binary frame around `message` (id plus data): DLE STX, length, stuffed content, checksum, DLE ETX.
inline std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& message)
{
    std::vector<std::uint8_t> content;
    content.push_back(static_cast<std::uint8_t>(message.size() + 2));
    std::uint8_t sum = 0;
    for (const auto byte : message)
    {
        content.push_back(byte);
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    content.push_back(sum);
    std::vector<std::uint8_t> frame{0x10, 0x02};
    for (const auto byte : content)
    {
        frame.push_back(byte);
        if (byte == 0x10)
            frame.push_back(0x10);
    }
    frame.push_back(0x10);
    frame.push_back(0x03);
    return frame;
}

// A message of an id that names no record: accepted and notified with nothing decoded.
inline std::vector<std::uint8_t> PlainFrame(std::uint8_t marker = 1)
{
    return Frame({0x0B, marker, 0x02});
}
// Monotonic milliseconds, the clock the port's command queue runs on.
inline std::int64_t NowMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

// Pumps the port's UBX commands until the queue is idle (or 10 s pass); returns every status text.
inline std::vector<std::string> PumpUntilIdle(CFeedDoc& doc, int port)
{
    std::vector<std::string> texts;
    const std::int64_t end = NowMs() + 10000;
    do
    {
        for (std::string& t : doc.PumpUbxCommands(port, NowMs()))
            texts.push_back(std::move(t));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (doc.UbxCommandsBusy(port) && NowMs() < end);
    return texts;
}
}  // namespace vrn::test
