// The chunk loop: one chunk through the port's record sets, log lines for what was imported, and
// the record messages for the views. The live reader threads and vrnrcvr-replay both run it.
#include "link/ChunkParser.h"

#include "app/CoreServices.h"
#include "link/Notifications.h"

namespace vrn
{
namespace
{
// Modes 0 and 1 (port 2: every binary mode): a diagnostic that led to no notification is reported
// once per run and drops the rest of the chunk.
void DropOnDiagnostic(ParseContext& context, ChunkRef& rest, bool notified)
{
    if (!notified && !context.diagnostic.empty())
    {
        ShowErrorOnce(context.diagnostic);
        rest.position = nullptr;
        rest.count = 0;
    }
}

void LogRecord(const CData& set, int port)
{
    if (IPortLog* log = PortLog())
        log->WriteRecord(set, port);
}
}  // namespace

void ParseChunk(ParseContext& context, std::span<const std::uint8_t> chunk, int port, int mode,
                IChunkSink& sink)
{
    port = port == 0 ? 0 : 1;
    sink.Activity(port == 0 ? kMsgActivity1 : kMsgActivity2);
    if (chunk.empty())
        return;

    ChunkRef rest{chunk.data(), chunk.size()};
    ChunkRef ownRest{chunk.data(), chunk.size()};
    while (rest.position != nullptr)
    {
        if (mode == kModeNmea)
        {
            const int result = context.receiver.BuildNmeaSentence(rest, context.diagnostic, port);
            const bool notify = result != 0 && context.receiver.ggaSeen != 0;
            if (notify)
                sink.NotifyViews(kMsgNmeaData, port == 0 ? kSourceNmea1 : kSourceNmea2, context.receiver);
            DropOnDiagnostic(context, rest, notify);
        }
        else if (port == 1 || mode != kModeTest)
        {
            // Binary. Port 2 decodes the receiver's messages in every binary mode; an unknown mode on
            // port 1 is read as binary too, so no chunk can loop for ever.
            const int result =
                context.receiver.BuildBinaryDataPacket(rest, context.diagnostic, 0, kImportReceiver);
            const bool notify = result == kImportAccepted;
            if (notify)
            {
                LogRecord(context.receiver, port);
                sink.NotifyViews(kMsgBinaryData, port == 0 ? kSourcePort1 : kSourcePort2, context.receiver);
            }
            DropOnDiagnostic(context, rest, notify);
        }
        else
        {
            // Test mode, port 1: the receiver set and the own-solution set extract from the same bytes,
            // one packet per turn each, and stay in step. Nothing is logged; diagnostics are not examined.
            const int result =
                context.receiver.BuildBinaryDataPacket(rest, context.diagnostic, 0, kImportReceiver);
            if (result == kImportAccepted)
                sink.NotifyViews(kMsgBinaryData, kSourcePort1, context.receiver);
            if (ownRest.position != nullptr &&
                context.own.BuildBinaryDataPacket(ownRest, context.diagnostic, 0, kImportNavigation) ==
                    kImportNavEpoch)
            {
                for (const std::uint8_t id : {kIdNav, kIdDop, kIdSv, kIdMeas})
                {
                    context.own.currentId = id;
                    sink.NotifyViews(kMsgBinaryData, kSourcePort2, context.own);
                }
            }
        }
    }
}
}  // namespace vrn
