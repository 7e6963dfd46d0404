// Support of the GUI tests: one QApplication for the whole run (offscreen), a fresh profile in a
// temporary folder per test, recorded message boxes, scripted file dialogs, and a way to act on a
// modal dialog that the code under test opens.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SentenceText.h"

class GuiTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    void WriteProfile(const std::string& text) const;
    [[nodiscard]] std::string ReadProfile() const;
    // The value of a key as the profile holds it; empty when missing.
    [[nodiscard]] static std::string ProfileValue(const std::string& section, const std::string& key);

    // Runs `action` with the next modal dialog as soon as it is shown (checked every few ms for at
    // most two seconds).
    static void WhenModal(std::function<void(QWidget*)> action);
    // Clicks the button with `id` of a template dialog.
    static void Click(QWidget* dialog, int id);

    std::filesystem::path m_dir;
    std::string m_profile;
    std::vector<QString> m_messages;                   // texts of the message boxes, in order
    std::deque<std::optional<QString>> m_fileAnswers;  // answers of the next file dialogs
    int m_fileDialogs = 0;
};

namespace vrn::gui
{
class CMonitorApp;
class CMainFrame;
}  // namespace vrn::gui

// A test with the program's application object and its main frame, the frame made (not shown) on
// the first call of Frame() and destroyed before the application.
class MainFrameTest : public GuiTest
{
protected:
    void SetUp() override;
    void TearDown() override;
    vrn::gui::CMainFrame& Frame();

    std::unique_ptr<vrn::gui::CMonitorApp> m_app;
    std::unique_ptr<vrn::gui::CMainFrame> m_frame;
};

// A pseudo-terminal pair standing in for a receiver: the program opens Path() like a serial
// device; the test writes the receiver's bytes to the master and reads what the program sends.
class TestPty
{
public:
    TestPty();
    ~TestPty();
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_path; }
    void Write(const std::string& bytes) const;
    // Everything the program wrote within `milliseconds` (stops early after a quiet 100 ms).
    [[nodiscard]] std::string ReadAll(int milliseconds) const;

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Runs the event loop until `done` holds or `milliseconds` pass; returns `done()`.
bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = 5000);

using testing_support::Sentence;
