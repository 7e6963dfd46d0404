// A small INI store with the lookup and write rules of the classic profile API, and the
// locale-free number conversions of the settings store.
//
// Reading: a section line is "[name]" (blanks around it and inside the brackets ignored); a key
// line is "key=value". Section and key names compare ignoring ASCII letter case; the first
// matching section is the one used, and in it the first matching key. Keys are trimmed of blanks;
// values are trimmed of blanks and then lose one pair of enclosing quotes ('..' or "..").
// Lines that are neither (blank lines, comments, text without '=') are kept and never match.
//
// Writing: a key already present gets its line replaced in place by "key=value" (the key spelled
// as in the file); a missing key goes after the last non-blank line of its section; a missing
// section goes at the end of the file, after a blank line. Every other byte of the file stays as
// it was, line ends included; new lines take the line end of the file's first line (LF for a new
// file). `SaveIniFile` writes a temporary file beside the target and renames it over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vrn::ini
{

class IniDocument
{
public:
    IniDocument() = default;
    // Splits `content` into lines; never fails.
    explicit IniDocument(std::string_view content);

    // The value of the first `key` in the first `section`, unquoted; empty when missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Every key line of the first `section` (first occurrence of each key), in file order.
    std::vector<std::pair<std::string, std::string>> Section(std::string_view section) const;
    // Sets one key by the write rules above. A line end in `value` ends the value there.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole file as it would be written.
    std::string Text() const;

private:
    struct Line
    {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n" or "" (the last line of a file without a final line end)
    };
    // Line range [first, last) of the first matching section's body; empty when missing.
    std::optional<std::pair<std::size_t, std::size_t>> FindSection(std::string_view section) const;
    std::string NewLineEnd() const;

    std::vector<Line> m_lines;
};

// What reading a profile found.
enum class IniReadResult : std::uint8_t
{
    Read,     // the whole file
    Missing,  // no such file: an empty document, and a save may create it
    Failed    // the file is there but was not read whole: an empty document that must not be saved over
};

struct IniRead
{
    IniDocument document;
    IniReadResult result = IniReadResult::Read;
    std::string reason;  // why it failed ("Permission denied", "not a regular file", ...)
};

// Reads a profile whole. Anything that is not a regular file (a folder, a pipe, a device) counts as
// a failure, as does an error at the open or part-way through the reading.
IniRead ReadIniFile(const std::string& path);
// The document of `ReadIniFile`: empty when the file is missing or could not be read.
IniDocument LoadIniFile(const std::string& path);
// Writes through a temporary file and a rename, creating missing directories of `path`.
// A symbolic link is followed, so the link stays in place. False when anything failed; the old
// file is then unchanged.
bool SaveIniFile(const std::string& path, const IniDocument& document);

// C-style integer prefix: leading blanks, an optional sign, decimal digits; anything else ends the
// number, no digits gives 0. Values beyond the 64-bit range are clamped to it.
std::int64_t ParseIntegerPrefix(std::string_view text);
// C-style real prefix (leading blanks, optional sign, digits, point, exponent), read in the C
// locale whatever the process locale; no number, or a value that is not finite, gives 0.
double ParseRealPrefix(std::string_view text);
// Fixed-point text with `decimals` decimals ("%.*f" in the C locale).
std::string FormatFixed(double value, int decimals);
// Plain signed decimal text.
std::string FormatInteger(std::int64_t value);

}  // namespace vrn::ini
