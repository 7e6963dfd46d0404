// The chunk loop: one chunk through the port's record sets, log lines for what was imported, and
// the record messages for the views. The live reader threads and vrnrcvr-replay both run it.
#include "link/ChunkParser.h"

#include <cmath>

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

// One classic record of a UBX import to the port log and the views, as a binary receiver's would go.
void NotifyRecord(CData& set, std::uint8_t id, int port, IChunkSink& sink)
{
    set.currentId = id;
    set.SelectTimeFields();
    LogRecord(set, port);
    sink.NotifyViews(kMsgBinaryData, port == 0 ? kSourcePort1 : kSourcePort2, set);
}

bool IsRawInput(std::uint16_t key)
{
    return key == ubx::kRxmRawx || key == ubx::kRxmSfrbx || key == ubx::kRxmRaw || key == ubx::kRxmSfrb;
}

// UBX modes: frames and the text between them (NMEA sentences) from the same stream. Sentences go
// through the NMEA import as in NMEA mode; a frame's message fills the records, and what it changed
// goes to the log and the views as the classic NAV, DOP and SV records, so every view shows a u-blox
// receiver as it shows a binary one. With the own fix, the raw measurements and subframes also feed
// the own-solution set, whose epochs reach the views as receiver 2's records, as in Test mode.
// Decoder texts are reported, but nothing is dropped: the extractor finds its own way back.
void ParseUbx(ParseContext& context, ChunkRef& rest, int port, bool ownFix, IChunkSink& sink)
{
    CData& set = context.receiver;
    for (;;)
    {
        const ubx::Event event = context.ubx.Next(rest);
        if (event.kind == ubx::Event::Kind::None)
            return;
        if (event.kind == ubx::Event::Kind::Text)
        {
            ChunkRef text{event.bytes.data(), event.bytes.size()};
            const int result = set.BuildNmeaSentence(text, context.diagnostic, port);
            if (result != 0 && set.ggaSeen != 0)
                sink.NotifyViews(kMsgNmeaData, port == 0 ? kSourceNmea1 : kSourceNmea2, set);
            if (!context.diagnostic.empty())
                ShowErrorOnce(context.diagnostic);
            continue;
        }
        set.AbandonSentence();
        const unsigned what = set.ImportUbxMessage(event.cls, event.id, event.bytes);
        // The fix sink has had the position report already (ImportUbxMessage).
        if ((what & kUbxFix) != 0 && std::isfinite(set.fix.latitudeDeg))
            NotifyRecord(set, kIdNav, port, sink);
        if ((what & kUbxDop) != 0)
            NotifyRecord(set, kIdDop, port, sink);
        if ((what & kUbxSatellites) != 0)
            NotifyRecord(set, kIdSv, port, sink);
        if ((what & kUbxAck) != 0)
            sink.Report(ReceiverReport::Acknowledgement, set, port);
        if ((what & kUbxVersion) != 0)
            sink.Report(ReceiverReport::Version, set, port);
        if (ownFix && IsRawInput(event.Key()) &&
            context.own.ImportUbxNavigationInput(event.cls, event.id, event.bytes) == kImportNavEpoch)
        {
            for (const std::uint8_t id : {kIdNav, kIdDop, kIdSv, kIdMeas})
            {
                context.own.currentId = id;
                context.own.SelectTimeFields();
                sink.NotifyViews(kMsgBinaryData, kSourcePort2, context.own);
            }
        }
    }
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
        if (IsUbxMode(mode))
            ParseUbx(context, rest, port, mode == kModeUbxOwnFix && port == 0, sink);
        else if (mode == kModeNmea)
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
