// The QApplication of the view tests, created before the first test on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace
{
class QtEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv.data());
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    std::array<char, 11> m_name{"views_test"};
    std::array<char*, 2> m_argv{m_name.data(), nullptr};
    std::unique_ptr<QApplication> m_app;
};

// gtest owns the environment.
[[maybe_unused]] testing::Environment* const g_qtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);  // NOLINT(cppcoreguidelines-owning-memory)
}  // namespace
