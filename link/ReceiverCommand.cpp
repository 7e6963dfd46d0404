// The initialisation command; see the header.
#include "link/ReceiverCommand.h"

#include "nav/Coordinates.h"

namespace vrn
{
namespace
{
// Appends `value`'s low `width` bytes, least significant first unless `swap`.
template <std::size_t N>
void Put(std::array<std::uint8_t, N>& out, std::size_t& at, std::uint32_t value, std::size_t width, bool swap)
{
    for (std::size_t i = 0; i < width; ++i)
    {
        const std::size_t shift = 8 * (swap ? width - 1 - i : i);
        out[at++] = static_cast<std::uint8_t>((value >> shift) & 0xFFu);
    }
}
}  // namespace

std::uint8_t BaudCodeFromText(std::string_view text)
{
    if (text == "9600")
        return 1;
    if (text == "19200")
        return 2;
    if (text == "38400")
        return 3;
    return 0;  // "4800" and anything unknown
}

InitCommandRecord BuildInitCommand(const ReceiverInitFields& init, std::string_view baudText, int commandCode,
                                   std::int64_t pcSeconds)
{
    InitCommandRecord command{};
    command.id = kInitCommandId;
    command.x = init.x;
    command.y = init.y;
    command.z = init.z;
    command.clock = static_cast<std::int16_t>(static_cast<std::uint32_t>(init.clock) & 0xFFFFu);
    if (init.useDosTime != 0)
    {
        const GpsTimeStamp now = GpsTimeFromPcSeconds(pcSeconds);
        command.week = now.week;
        command.timeOfWeek =
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.timeOfWeek) & 0xFFFFFFFFu);
    }
    else
    {
        command.week = static_cast<std::uint16_t>(static_cast<unsigned>(init.weekNo) & 0xFFFFu);
        // Seconds times 100 can pass 2^31 for a hand-edited value: computed in 64 bits, low 32 bits sent.
        const std::int64_t hundredths = static_cast<std::int64_t>(init.tow) * 100;
        command.timeOfWeek = static_cast<std::uint32_t>(static_cast<std::uint64_t>(hundredths) & 0xFFFFFFFFu);
    }
    command.startMode = (init.resetMode >= 0 && init.resetMode <= 3)
                            ? static_cast<std::uint8_t>(init.resetMode + 1)
                            : std::uint8_t{0};
    std::uint8_t flags = 0;
    const std::array bits{init.enableGga, init.enableGll, init.enableGsa,      init.enableGsv,
                          init.enableRmc, init.enableVtg, init.enableChecksum, init.protocol};
    for (std::size_t bit = 0; bit < bits.size(); ++bit)
        if (bits[bit] != 0)
            flags = static_cast<std::uint8_t>(flags | (1u << bit));
    command.outputFlags = flags;
    if (commandCode == kCommandConfiguredBaud)
        command.baudCode = BaudCodeFromText(baudText);
    else if (commandCode >= kCommandBaud9600 && commandCode <= kCommandBaud38400)
        command.baudCode = static_cast<std::uint8_t>(commandCode);
    else
        command.baudCode = 0;
    return command;
}

std::array<std::uint8_t, kInitCommandSize> EncodeInitCommand(const InitCommandRecord& command, bool swap)
{
    std::array<std::uint8_t, kInitCommandSize> out{};
    std::size_t at = 0;
    const auto u16 = [](std::int16_t v) { return static_cast<std::uint32_t>(static_cast<std::uint16_t>(v)); };
    Put(out, at, command.id, 1, swap);
    Put(out, at, command.week, 2, swap);
    Put(out, at, command.timeOfWeek, 4, swap);
    Put(out, at, u16(command.x), 2, swap);
    Put(out, at, u16(command.y), 2, swap);
    Put(out, at, u16(command.z), 2, swap);
    Put(out, at, u16(command.clock), 2, swap);
    Put(out, at, command.startMode, 1, swap);
    Put(out, at, command.outputFlags, 1, swap);
    Put(out, at, command.baudCode, 1, swap);
    return out;
}
}  // namespace vrn
