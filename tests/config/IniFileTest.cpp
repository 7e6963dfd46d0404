// The INI store's number conversions and line handling.
#include <gtest/gtest.h>

#include <cstdint>
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
}  // namespace
