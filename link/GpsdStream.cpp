// gpsd raw-mode stream splitting and the handshake texts; see the header.
#include "link/GpsdStream.h"

#include <nlohmann/json.hpp>

namespace vrn
{
namespace
{
constexpr std::string_view kObjectStart = R"({"class":)";
constexpr std::size_t kObjectLimit = 64 * 1024;  // gpsd's answers are far smaller
}  // namespace

void CGpsdSplitter::Feed(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& raw,
                         std::vector<std::string>& objects)
{
    for (const std::uint8_t byte : in)
    {
        const char c = static_cast<char>(byte);
        switch (m_state)
        {
        case State::LineEnd:
            m_state = State::Raw;
            if (c == '\n')
                continue;
            if (c == '\r')
            {
                m_state = State::LineEnd;
                continue;
            }
            [[fallthrough]];
        case State::Raw:
            m_held.push_back(c);
            if (std::string_view(kObjectStart).starts_with(m_held))
            {
                if (m_held.size() == kObjectStart.size())
                {
                    m_object = m_held;
                    m_held.clear();
                    m_state = State::Object;
                    m_depth = 1;
                    m_inString = false;
                    m_escape = false;
                }
                continue;
            }
            // Not an opening after all: the held bytes are raw, except that the last one may begin one.
            raw.insert(raw.end(), m_held.begin(), m_held.end() - 1);
            m_held.erase(0, m_held.size() - 1);
            if (m_held.front() != '{')
            {
                raw.push_back(static_cast<std::uint8_t>(m_held.front()));
                m_held.clear();
            }
            continue;
        case State::Object:
            m_object.push_back(c);
            if (m_inString)
            {
                if (m_escape)
                    m_escape = false;
                else if (c == '\\')
                    m_escape = true;
                else if (c == '"')
                    m_inString = false;
            }
            else if (c == '"')
                m_inString = true;
            else if (c == '{' || c == '[')
                ++m_depth;
            else if (c == '}' || c == ']')
                --m_depth;
            if (m_depth == 0)
            {
                objects.push_back(std::move(m_object));
                m_object.clear();
                m_state = State::LineEnd;
            }
            else if (m_object.size() > kObjectLimit)
            {
                m_object.clear();  // no answer of gpsd: dropped, and the hunt goes on
                m_state = State::Raw;
            }
            continue;
        }
    }
}

GpsdAnswer ReadGpsdAnswer(std::string_view object)
{
    GpsdAnswer answer;
    const auto json = nlohmann::json::parse(object, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return answer;
    const auto text = [&json](const char* key) -> std::string {
        const auto it = json.find(key);
        return it != json.end() && it->is_string() ? it->get<std::string>() : std::string{};
    };
    answer.kind = text("class");
    answer.message = text("message");
    if (const auto it = json.find("enable"); it != json.end() && it->is_boolean())
        answer.enabled = it->get<bool>();
    if (const auto it = json.find("devices"); it != json.end() && it->is_array())
        for (const auto& device : *it)
            if (device.is_object())
                if (const auto path = device.find("path"); path != device.end() && path->is_string())
                    answer.devices.push_back(path->get<std::string>());
    return answer;
}

std::string GpsdWatchRequest(std::string_view device)
{
    nlohmann::json watch = {{"enable", true}, {"raw", 2}};
    if (!device.empty())
        watch["device"] = std::string(device);
    return "?WATCH=" + watch.dump() + ";\n";
}
}  // namespace vrn
