// What a gpsd daemon sends a client that watches a device in raw mode 2: the device's bytes verbatim,
// with gpsd's own JSON objects ({"class":...} up to the closing brace and its line end) between them.
// The splitter takes them apart for the network source; the handshake helpers build the requests
// and read the answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vrn
{
// Splits a gpsd stream at any chunking: raw bytes out in order, JSON objects out whole.
class CGpsdSplitter
{
public:
    // Appends the raw bytes of `in` to `raw` and each completed JSON object's text to `objects`.
    // Bytes that may begin an object are held back until the next call decides.
    void Feed(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& raw, std::vector<std::string>& objects);

private:
    enum class State : std::uint8_t
    {
        Raw,
        Object,
        LineEnd
    };
    State m_state = State::Raw;
    std::string m_held;    // raw: the start of what may be an object's opening
    std::string m_object;  // the object being collected
    int m_depth = 0;
    bool m_inString = false;
    bool m_escape = false;
};

// One answer of gpsd, as far as the client cares.
struct GpsdAnswer
{
    std::string kind;  // the "class" value; empty when the text is not a JSON object with one
    std::string message;                // ERROR: its text
    std::optional<bool> enabled;        // WATCH: its "enable" value
    std::vector<std::string> devices;   // DEVICES: the "path" of each device, in order
};
[[nodiscard]] GpsdAnswer ReadGpsdAnswer(std::string_view object);

// "?WATCH={"enable":true,"raw":2[,"device":"..."]};\n"
[[nodiscard]] std::string GpsdWatchRequest(std::string_view device);
inline constexpr std::string_view kGpsdDevicesRequest = "?DEVICES;\n";
}  // namespace vrn
