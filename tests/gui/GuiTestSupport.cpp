// GUI test support: the QApplication of the run and the per-test fixture.
#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <array>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/CTemplateDialog.h"
#include "app/CoreServices.h"
#include "app/GuiServices.h"
#include "config/CAppSettings.h"
#include "config/CInputSettingsDlg.h"

namespace
{
class QtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv.data());
        std::setlocale(LC_NUMERIC, "C");
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    std::array<char, 10> m_name{"gui_tests"};
    std::array<char*, 2> m_argv{m_name.data(), nullptr};
    std::unique_ptr<QApplication> m_app;
};

// gtest owns the environment.
[[maybe_unused]] const ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace

void GuiTest::SetUp()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vrn-gui-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    m_profile = (m_dir / "vrnrcvr.ini").string();
    CAppSettings::SetProfilePath(m_profile);
    vrn::gui::SetMessageHandler([this](QWidget*, const QString& text) { m_messages.push_back(text); });
    vrn::gui::SetFileDialogHandler([this](QWidget*, const vrn::gui::FileDialogRequest&) -> std::optional<QString> {
        ++m_fileDialogs;
        std::optional<QString> answer;
        if (!m_fileAnswers.empty())
        {
            answer.swap(m_fileAnswers.front());
            m_fileAnswers.pop_front();
        }
        return answer;
    });
    vrn::gui::CInputSettingsDlg::ResetFirstOpening();
    vrn::SetDebugSwitch(false);
    vrn::SetTraceSwitch(false);
    vrn::ResetErrorLatch();
}

void GuiTest::TearDown()
{
    vrn::gui::SetMessageHandler({});
    vrn::gui::SetFileDialogHandler({});
    CAppSettings::SetProfilePath("");
    std::error_code error;
    std::filesystem::remove_all(m_dir, error);
}

void GuiTest::WriteProfile(const std::string& text) const
{
    std::ofstream out(m_profile, std::ios::binary);
    out << text;
}

std::string GuiTest::ReadProfile() const
{
    std::ifstream in(m_profile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string GuiTest::ProfileValue(const std::string& section, const std::string& key)
{
    return CAppSettings::ReadProfileText(section, key, "");
}

void GuiTest::WhenModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(QApplication::instance());
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
        {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
        else if (++*tries > 400)
        {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal dialog appeared";
        }
    });
    timer->start(5);
}

void GuiTest::Click(QWidget* dialog, int id)
{
    auto* button = qobject_cast<QAbstractButton*>(vrn::gui::FindControl(dialog, id));
    ASSERT_NE(button, nullptr) << "no button " << id;
    button->click();
}

TestPty::TestPty()
{
    std::array<char, 128> name{};
    if (::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr) == 0)
    {
        m_path = name.data();
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // Raw from the start, so nothing the program writes before it configures the line is echoed.
        termios raw{};
        ::tcgetattr(m_slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
    }
}

TestPty::~TestPty()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void TestPty::Write(const std::string& bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (errno != EAGAIN && errno != EINTR)
            return;
    }
}

std::string TestPty::ReadAll(int milliseconds) const
{
    std::string bytes;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
        {
            if (!bytes.empty())
                break;
            continue;
        }
        std::array<char, 512> buffer{};
        const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return bytes;
}

bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done())
    {
        if (timer.elapsed() > milliseconds)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void MainFrameTest::SetUp()
{
    GuiTest::SetUp();
    m_app = std::make_unique<vrn::gui::CMonitorApp>(vrn::gui::ProgramOptions{});
}

void MainFrameTest::TearDown()
{
    m_frame.reset();
    m_app.reset();
    GuiTest::TearDown();
}

vrn::gui::CMainFrame& MainFrameTest::Frame()
{
    if (!m_frame)
    {
        m_frame = std::make_unique<vrn::gui::CMainFrame>(*m_app);
        EXPECT_TRUE(m_frame->Create());
    }
    return *m_frame;
}
