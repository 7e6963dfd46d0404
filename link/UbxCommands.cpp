// u-blox commands and their queue; see the header.
#include "link/UbxCommands.h"

#include <algorithm>

#include "protocol/UbxFrame.h"

namespace vrn
{
namespace
{
// CFG-VALSET keys: the UART1 line speed and the output rates on UART1 and USB.
constexpr std::uint32_t kKeyUart1Baud = 0x40520001;
struct OutputKeys
{
    std::uint32_t uart1, usb;
    std::uint16_t message;
};
constexpr std::array<OutputKeys, kUbxOutputCount> kOutputKeys{{
    {0x209102A5, 0x209102A7, ubx::kRxmRawx},
    {0x20910232, 0x20910234, ubx::kRxmSfrbx},
    {0x20910007, 0x20910009, ubx::kNavPvt},
    {0x20910016, 0x20910018, ubx::kNavSat},
}};
constexpr std::uint8_t kLayerRam = 0x01;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i) & 0xFFU));
}

UbxCommand Make(std::string label, std::uint16_t key, const std::vector<std::uint8_t>& payload)
{
    UbxCommand c;
    c.label = std::move(label);
    c.frame = ubx::BuildFrame(static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key & 0xFFU), payload);
    c.answer = key;
    return c;
}

const char* StartName(UbxStart start)
{
    switch (start)
    {
        case UbxStart::Hot:
            return "hot start";
        case UbxStart::Warm:
            return "warm start";
        case UbxStart::Cold:
            return "cold start";
    }
    return "";
}
}  // namespace

UbxCommand UbxStartCommand(UbxStart start)
{
    const std::uint16_t mask = start == UbxStart::Hot ? 0x0000 : start == UbxStart::Warm ? 0x0001 : 0xFFFF;
    constexpr std::uint8_t kGnssRestart = 0x02;  // controlled software reset, GNSS only
    return Make(std::string("CFG-RST (") + StartName(start) + ")", ubx::kCfgRst,
                {static_cast<std::uint8_t>(mask & 0xFFU), static_cast<std::uint8_t>(mask >> 8), kGnssRestart, 0x00});
}

UbxCommand UbxBaudCommand(UbxGeneration generation, std::uint32_t baud)
{
    const std::string rate = std::to_string(baud) + " baud";
    if (generation == UbxGeneration::F9)
    {
        std::vector<std::uint8_t> p{0x00, kLayerRam, 0x00, 0x00};
        Put32(p, kKeyUart1Baud);
        Put32(p, baud);
        return Make("CFG-VALSET (UART1 " + rate + ")", ubx::kCfgValSet, p);
    }
    std::vector<std::uint8_t> p{0x01, 0x00, 0x00, 0x00};  // UART1, reserved, no TX-ready pin
    Put32(p, 0x000008D0);                                   // 8 bits, no parity, 1 stop bit
    Put32(p, baud);
    p.insert(p.end(), {0x07, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00});  // in UBX+NMEA+RTCM, out UBX+NMEA
    return Make("CFG-PRT (UART1 " + rate + ")", ubx::kCfgPrt, p);
}

std::vector<UbxCommand> UbxOutputCommands(UbxGeneration generation,
                                          std::span<const std::pair<UbxOutput, bool>> outputs)
{
    std::vector<UbxCommand> commands;
    if (outputs.empty())
        return commands;
    auto name = [](UbxOutput o, bool on) {
        return ubx::MessageLabel(kOutputKeys[static_cast<std::size_t>(o)].message) + (on ? " on" : " off");
    };
    if (generation == UbxGeneration::F9)
    {
        std::vector<std::uint8_t> p{0x00, kLayerRam, 0x00, 0x00};
        std::string label;
        for (const auto& [output, on] : outputs)
        {
            const OutputKeys& keys = kOutputKeys[static_cast<std::size_t>(output)];
            for (const std::uint32_t key : {keys.uart1, keys.usb})
            {
                Put32(p, key);
                p.push_back(on ? 1 : 0);
            }
            label += (label.empty() ? "" : ", ") + name(output, on);
        }
        commands.push_back(Make("CFG-VALSET (" + label + ")", ubx::kCfgValSet, p));
        return commands;
    }
    for (const auto& [output, on] : outputs)
    {
        const std::uint16_t message = kOutputKeys[static_cast<std::size_t>(output)].message;
        commands.push_back(Make("CFG-MSG (" + name(output, on) + ")", ubx::kCfgMsg,
                                {static_cast<std::uint8_t>(message >> 8), static_cast<std::uint8_t>(message & 0xFFU),
                                 static_cast<std::uint8_t>(on ? 1 : 0)}));
    }
    return commands;
}

UbxCommand UbxVersionPoll()
{
    return Make("MON-VER poll", ubx::kMonVer, {});
}

// ---- answers ----

void UbxAnswerBox::Post(UbxAnswer answer)
{
    std::lock_guard lock(m_mutex);
    if (answer.key == ubx::kMonVer)
    {
        m_version = answer.version;
        m_generation = answer.generation;
    }
    if (m_answers.size() == kKept)
        m_answers.pop_front();
    m_answers.push_back(std::move(answer));
}

std::vector<UbxAnswer> UbxAnswerBox::Take()
{
    std::lock_guard lock(m_mutex);
    std::vector<UbxAnswer> taken(std::make_move_iterator(m_answers.begin()), std::make_move_iterator(m_answers.end()));
    m_answers.clear();
    return taken;
}

std::string UbxAnswerBox::Version() const
{
    std::lock_guard lock(m_mutex);
    return m_version;
}

UbxGeneration UbxAnswerBox::Generation() const
{
    std::lock_guard lock(m_mutex);
    return m_generation;
}

void UbxAnswerBox::Clear()
{
    std::lock_guard lock(m_mutex);
    m_answers.clear();
    m_version.clear();
    m_generation = UbxGeneration::Unknown;
}

// ---- the queue ----

void CUbxCommandQueue::Configure(int receiver, UbxGeneration generation)
{
    m_receiver = receiver;
    m_setting = generation;
}

std::string CUbxCommandQueue::Receiver() const
{
    return "Receiver " + std::to_string(m_receiver);
}

void CUbxCommandQueue::Enqueue(const UbxRequest& request)
{
    m_requests.push_back(request);
}

void CUbxCommandQueue::Expand(const UbxRequest& request, UbxGeneration generation)
{
    switch (request.kind)
    {
        case UbxRequest::Kind::Start:
            m_commands.push_back(UbxStartCommand(request.start));
            break;
        case UbxRequest::Kind::Baud:
            m_commands.push_back(UbxBaudCommand(generation, request.baud));
            break;
        case UbxRequest::Kind::Outputs:
        {
            std::vector<std::pair<UbxOutput, bool>> outputs;
            for (std::size_t k = 0; k < kUbxOutputCount; ++k)
                outputs.emplace_back(static_cast<UbxOutput>(k), request.outputs[k]);
            for (UbxCommand& c : UbxOutputCommands(generation, outputs))
                m_commands.push_back(std::move(c));
            break;
        }
    }
}

CUbxCommandQueue::Step CUbxCommandQueue::Pump(std::int64_t nowMs, std::span<const UbxAnswer> answers,
                                              UbxGeneration known)
{
    Step step;
    if (known != UbxGeneration::Unknown)
        m_detected = known;
    for (const UbxAnswer& a : answers)
    {
        if (a.key == ubx::kMonVer && a.generation != UbxGeneration::Unknown)
            m_detected = a.generation;
        if (!m_inFlight || a.key != m_inFlight->answer)
            continue;
        if (a.key == ubx::kMonVer)
            step.status.push_back(Receiver() + ": " + a.version);
        else if (a.acknowledged)
            step.status.push_back(Receiver() + " acknowledged " + m_inFlight->label);
        else
            step.status.push_back(Receiver() + " refused " + m_inFlight->label + " (ACK-NAK)");
        m_inFlight.reset();
    }
    if (m_inFlight && nowMs >= m_deadlineMs)
    {
        std::string text = Receiver() + ": no answer to " + m_inFlight->label + " within 2 s";
        if (m_inFlight->answer == ubx::kCfgRst)
            text += " (receivers of recent firmware restart without one)";
        else if (m_inFlight->answer == ubx::kMonVer)
            text += "; using CFG-PRT and CFG-MSG";
        step.status.push_back(std::move(text));
        m_inFlight.reset();
    }
    while (!m_inFlight)
    {
        if (m_commands.empty())
        {
            if (m_requests.empty())
            {
                m_polled = false;
                break;
            }
            const UbxRequest& next = m_requests.front();
            UbxGeneration generation = m_setting != UbxGeneration::Unknown ? m_setting : m_detected;
            if (generation == UbxGeneration::Unknown && next.kind != UbxRequest::Kind::Start && !m_polled)
            {
                m_polled = true;
                m_commands.push_back(UbxVersionPoll());
            }
            else
            {
                Expand(next, generation == UbxGeneration::Unknown ? UbxGeneration::M8 : generation);
                m_requests.pop_front();
            }
            continue;
        }
        m_inFlight = std::move(m_commands.front());
        m_commands.pop_front();
        m_deadlineMs = nowMs + kAnswerTimeoutMs;
        step.write.insert(step.write.end(), m_inFlight->frame.begin(), m_inFlight->frame.end());
        step.status.push_back(Receiver() + ": " + m_inFlight->label + " sent, waiting for the answer");
    }
    return step;
}
}  // namespace vrn
