// The INI store and the settings store's number conversions; see the header for the rules.
#include "config/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace vrn::ini
{
namespace
{
constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

// The name of a section line, or nothing when the line is not one.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.rfind(']');
    if (close == std::string_view::npos || close == 0)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

// The key and raw value of a key line, or nothing when the line has no '=' or no key.
std::optional<KeyLine> SplitKeyLine(std::string_view line)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const auto key = Trim(line.substr(0, equals));
    if (key.empty())
        return std::nullopt;
    return KeyLine{key, line.substr(equals + 1)};
}

std::string Unquote(std::string_view value)
{
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool IsCBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipCBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsCBlank(text[i]))
        ++i;
    return text.substr(i);
}
}  // namespace

IniDocument::IniDocument(std::string_view content)
{
    // A byte-order mark stays in the first line's text but must not hide a section header.
    std::size_t pos = 0;
    while (pos < content.size())
    {
        const auto lf = content.find('\n', pos);
        Line line;
        if (lf == std::string_view::npos)
        {
            line.text = std::string(content.substr(pos));
            pos = content.size();
        }
        else
        {
            line.text = std::string(content.substr(pos, lf - pos));
            line.end = "\n";
            pos = lf + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r')
        {
            line.text.pop_back();
            line.end = "\r" + line.end;
        }
        m_lines.push_back(std::move(line));
    }
}

std::optional<std::pair<std::size_t, std::size_t>> IniDocument::FindSection(std::string_view section) const
{
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::optional<std::size_t> body;
    for (std::size_t i = 0; i < m_lines.size(); ++i)
    {
        std::string_view text = m_lines[i].text;
        if (i == 0 && text.starts_with(kByteOrderMark))
            text.remove_prefix(kByteOrderMark.size());
        const auto name = SectionName(text);
        if (!name)
            continue;
        if (body)
            return std::pair{*body, i};
        if (EqualsIgnoringCase(*name, section))
            body = i + 1;
    }
    if (body)
        return std::pair{*body, m_lines.size()};
    return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const
{
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    for (std::size_t i = range->first; i < range->second; ++i)
    {
        const auto line = SplitKeyLine(m_lines[i].text);
        if (line && EqualsIgnoringCase(line->key, key))
            return Unquote(line->value);
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> IniDocument::Section(std::string_view section) const
{
    std::vector<std::pair<std::string, std::string>> result;
    const auto range = FindSection(section);
    if (!range)
        return result;
    for (std::size_t i = range->first; i < range->second; ++i)
    {
        const auto line = SplitKeyLine(m_lines[i].text);
        if (!line)
            continue;
        bool seen = false;
        for (const auto& [key, value] : result)
            seen = seen || EqualsIgnoringCase(key, line->key);
        if (!seen)
            result.emplace_back(std::string(line->key), Unquote(line->value));
    }
    return result;
}

std::string IniDocument::NewLineEnd() const
{
    if (!m_lines.empty() && m_lines.front().end == "\r\n")
        return "\r\n";
    return "\n";
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value)
{
    value = value.substr(0, value.find_first_of("\r\n"));
    const std::string lineEnd = NewLineEnd();
    auto insert = [&](std::size_t at, std::string text)
    {
        if (at > 0 && m_lines[at - 1].end.empty())
            m_lines[at - 1].end = lineEnd;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), lineEnd});
    };

    const auto range = FindSection(section);
    if (!range)
    {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty())
            insert(m_lines.size(), "");
        insert(m_lines.size(), "[" + std::string(section) + "]");
        insert(m_lines.size(), std::string(key) + "=" + std::string(value));
        return;
    }
    std::size_t lastFilled = range->first;  // insert position: after the section's last non-blank line
    for (std::size_t i = range->first; i < range->second; ++i)
    {
        const auto line = SplitKeyLine(m_lines[i].text);
        if (line && EqualsIgnoringCase(line->key, key))
        {
            m_lines[i].text = std::string(line->key) + "=" + std::string(value);
            return;
        }
        if (!Trim(m_lines[i].text).empty())
            lastFilled = i + 1;
    }
    insert(lastFilled, std::string(key) + "=" + std::string(value));
}

std::string IniDocument::Text() const
{
    std::string text;
    for (const auto& line : m_lines)
    {
        text += line.text;
        text += line.end;
    }
    return text;
}

IniRead ReadIniFile(const std::string& path)
{
    IniRead out;
    auto fail = [&out](std::string reason)
    {
        out.result = IniReadResult::Failed;
        out.reason = std::move(reason);
        return out;
    };
    // O_NONBLOCK: a FIFO under the profile's name must not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
    {
        const int error = errno;
        if (error == ENOENT)
        {
            out.result = IniReadResult::Missing;
            return out;
        }
        return fail(std::generic_category().message(error));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        return fail(S_ISDIR(info.st_mode) ? std::generic_category().message(EISDIR) : "not a regular file");
    }
    std::string content;
    std::array<char, 4096> buffer{};
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            const int error = errno;
            ::close(fd);
            return fail(std::generic_category().message(error));
        }
        if (n == 0)
            break;
        content.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    out.document = IniDocument(content);
    return out;
}

IniDocument LoadIniFile(const std::string& path)
{
    return ReadIniFile(path).document;
}

bool SaveIniFile(const std::string& path, const IniDocument& document)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(path);
    // Follow links (a few levels, and dangling ones too) so that the rename replaces the file.
    for (int level = 0; level < 8 && fs::is_symlink(target, error); ++level)
    {
        const fs::path link = fs::read_symlink(target, error);
        if (error)
            return false;
        target = (link.is_absolute() ? link : target.parent_path() / link).lexically_normal();
    }
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), error);

    std::string temporary = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    struct stat old = {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;

    const std::string text = document.Text();
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

std::int64_t ParseIntegerPrefix(std::string_view text)
{
    text = SkipCBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
    {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Accumulated as a negative number so that the most negative value fits.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    bool clamped = false;
    for (const char c : text)
    {
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        if (value < (kMin + digit) / 10)
            clamped = true;
        if (!clamped)
            value = value * 10 - digit;
    }
    if (clamped)
        return negative ? kMin : std::numeric_limits<std::int64_t>::max();
    if (negative)
        return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

double ParseRealPrefix(std::string_view text)
{
    text = SkipCBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
    {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    auto format = std::chars_format::general;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        format = std::chars_format::hex;
        text.remove_prefix(2);
        if (text.empty() || text.front() == '+' || text.front() == '-')
            return 0.0;
    }
    // from_chars would take a second sign that strtod refuses.
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, format);
    (void)end;
    if (error != std::errc{} || !std::isfinite(value))
        return 0.0;
    return negative ? -value : value;
}

std::string FormatFixed(double value, int decimals)
{
    // Room for the largest double in full (309 digits), a sign, a point and the decimals.
    std::array<char, 400> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{})
        return "0";
    return std::string(buffer.data(), end);
}

std::string FormatInteger(std::int64_t value)
{
    std::array<char, 24> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    (void)error;
    return std::string(buffer.data(), end);
}

}  // namespace vrn::ini
