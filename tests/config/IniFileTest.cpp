// The INI store's number conversions, line handling and reading of files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include "config/IniFile.h"

namespace
{
using namespace vrn::ini;

TEST(IniNumbers, IntegerPrefixLikeTheCConversion)
{
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const struct
    {
        const char* text;
        std::int64_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+", 0},
        {" \t42", 42},
        {"-123", -123},
        {"+7x", 7},
        {"12 34", 12},
        {"--5", 0},
        {"0x10", 0},
        {"1e5", 1},
        {"00012", 12},
        {"9223372036854775807", kMax},
        {"9223372036854775808", kMax},
        {"-9223372036854775808", kMin},
        {"-9223372036854775809", kMin},
        {"123456789012345678901234567890", kMax},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIntegerPrefix(c.text), c.value) << '"' << c.text << '"';
}

TEST(IniNumbers, RealPrefixLikeTheCConversion)
{
    const struct
    {
        const char* text;
        double value;
    } cases[] = {
        {"", 0.0},    {"x1", 0.0},          {"24.775300", 24.7753}, {"  -4.5e1m", -45.0}, {"+.5", 0.5},
        {"5.", 5.0},  {"2446,385", 2446.0}, {"+-1", 0.0},           {"1e", 1.0},          {"0x1p4", 16.0},
        {"nan", 0.0}, {"-inf", 0.0},        {"infinity", 0.0},      {"1e999", 0.0},       {"-0", 0.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ParseRealPrefix(c.text), c.value) << '"' << c.text << '"';
}

TEST(IniNumbers, FixedAndIntegerTexts)
{
    EXPECT_EQ(FormatFixed(24.7753, 6), "24.775300");
    EXPECT_EQ(FormatFixed(121.00248, 6), "121.002480");
    EXPECT_EQ(FormatFixed(4.0, 2), "4.00");
    EXPECT_EQ(FormatFixed(0.005, 2), "0.01");
    EXPECT_EQ(FormatFixed(-1e300, 0).size(), 302u);
    EXPECT_EQ(FormatInteger(-32768), "-32768");
    EXPECT_EQ(FormatInteger(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(IniDocument, LookupRules)
{
    const IniDocument doc(
        "\xEF\xBB\xBF[One]\n"
        "key=first\n"
        "KEY=second\n"
        "quoted = ' spaced '  \n"
        "=no key\n"
        "[Two\n"
        "inside=still one\n"
        "[two]\n"
        "a=\"\"\n");
    EXPECT_EQ(doc.Get("one", "Key"), "first");
    EXPECT_EQ(doc.Get("One", "quoted"), " spaced ");
    EXPECT_EQ(doc.Get("One", "inside"), "still one");
    EXPECT_EQ(doc.Get("TWO", "a"), "");
    EXPECT_FALSE(doc.Get("Two", "b").has_value());
    EXPECT_FALSE(doc.Get("Three", "a").has_value());
}

TEST(IniDocument, WritesIntoEmptyAndUnterminatedFiles)
{
    IniDocument empty;
    empty.Set("S", "k", "v");
    EXPECT_EQ(empty.Text(), "[S]\nk=v\n");

    IniDocument header("[S]");
    header.Set("s", "k", "v");
    EXPECT_EQ(header.Text(), "[S]\nk=v\n");

    IniDocument blanks("[S]\n\n\n[T]\nx=1");
    blanks.Set("S", "k", "v");
    blanks.Set("T", "X", "2");
    EXPECT_EQ(blanks.Text(), "[S]\nk=v\n\n\n[T]\nx=2");
}

// A read tells a missing file (fine to create) from one that is there but was not read whole
// (never to be written over), and never waits on a pipe.
TEST(IniFile, ReadSaysWhetherTheFileWasReadWhole)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vrn-ini-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    struct Case
    {
        const char* name;
        std::function<std::string()> make;  // returns the path to read
        IniReadResult result;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"a profile",
         [&]
         {
             std::ofstream(dir / "p.ini") << "; kept\n[S]\nk=v\n";
             return (dir / "p.ini").string();
         },
         IniReadResult::Read, ""},
        {"an empty profile",
         [&]
         {
             std::ofstream(dir / "e.ini");
             return (dir / "e.ini").string();
         },
         IniReadResult::Read, ""},
        {"no file", [&] { return (dir / "none.ini").string(); }, IniReadResult::Missing, ""},
        {"a folder",
         [&]
         {
             std::filesystem::create_directory(dir / "d.ini");
             return (dir / "d.ini").string();
         },
         IniReadResult::Failed, "Is a directory"},
        {"a pipe without a writer",
         [&]
         {
             ::mkfifo((dir / "f.ini").c_str(), 0600);
             return (dir / "f.ini").string();
         },
         IniReadResult::Failed, "not a regular file"},
        {"a path through a file", [&] { return (dir / "p.ini" / "x.ini").string(); }, IniReadResult::Failed,
         "Not a directory"},
        // A regular file whose first read fails with an I/O error: nothing of this process is mapped at 0.
        {"an I/O error", [] { return std::string("/proc/self/mem"); }, IniReadResult::Failed,
         "Input/output error"},
    };
    for (const Case& c : cases)
    {
        const IniRead read = ReadIniFile(c.make());
        EXPECT_EQ(read.result, c.result) << c.name;
        EXPECT_EQ(read.reason, c.reason) << c.name;
        EXPECT_EQ(read.document.Get("S", "k").value_or("") == "v", std::string(c.name) == "a profile")
            << c.name;
    }
    // No read permission (root reads anyway, so this row needs another user).
    std::ofstream(dir / "locked.ini") << "[S]\nk=v\n";
    ::chmod((dir / "locked.ini").c_str(), 0);
    if (::geteuid() != 0)
    {
        const IniRead read = ReadIniFile((dir / "locked.ini").string());
        EXPECT_EQ(read.result, IniReadResult::Failed);
        EXPECT_EQ(read.reason, "Permission denied");
    }
    std::filesystem::remove_all(dir);
}
}  // namespace
