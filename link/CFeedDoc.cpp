// The feed document's port lifecycle, relay and receiver command; see the header.
#include "link/CFeedDoc.h"

#include <ctime>
#include <map>
#include <system_error>
#include <utility>

#include "link/Notifications.h"
#include "link/ReceiverCommand.h"
#include "link/SerialSource.h"
#include "nav/NavEngine.h"
#include "protocol/Framing.h"

namespace vrn
{
namespace
{
// Section whose "COMn=/dev/..." lines override the COMn -> /dev/ttyS(n-1) mapping.
constexpr std::string_view kSerialDevicesSection = "Serial Devices";

// The port as the framing's byte sink: every write goes through WritePort.
class PortWriter final : public IByteSink
{
public:
    PortWriter(CFeedDoc& doc, int index) : m_doc(doc), m_index(index) {}
    int Write(std::span<const std::uint8_t> bytes) override { return m_doc.WritePort(m_index, bytes); }

private:
    CFeedDoc& m_doc;
    int m_index;
};
}  // namespace

CFeedDoc::CFeedDoc(IViewRegistry& views, IMainFrame* frame)
    : m_views(views), m_frame(frame), m_pcClock([] { return static_cast<std::int64_t>(std::time(nullptr)); })
{
    m_settings.LoadDataSources();
    for (int i = 0; i < kPortCount; ++i)
        At(i).tap = std::make_shared<RecordTap>(i);
}

CFeedDoc::~CFeedDoc()
{
    ClosePort(0);
    ClosePort(1);
}

int CFeedDoc::StartPort(int index)
{
    m_settings.LoadDataSources();
    m_views.UpdateAllViews(index == 0 ? kHintPort1Started : kHintPort2Started, nullptr);
    At(index).running = 1;
    const int result = OpenPort(index);
    if (result == 0)
        StopPort(index);
    return result;
}

void CFeedDoc::StopPort(int index)
{
    At(index).running = 0;
    ClosePort(index);
}

void CFeedDoc::SetPaused(int index, int paused)
{
    Port& port = At(index);
    port.signals.pause.store(paused != 0 ? 1 : 0);
    port.signals.Wake();  // the end of a pause has queued bytes to parse
}

int CFeedDoc::WritePort(int index, std::span<const std::uint8_t> bytes)
{
    Port& port = At(index);
    if (port.source)
        port.source->Write(bytes);
    return 1;
}

void CFeedDoc::RelayNotification(unsigned code, unsigned /*wParam*/, const CData* object)
{
    switch (code)
    {
        case kInitReceiver1:
        case kInitReceiver2:
        case kMsgSignal1Gone:
        case kMsgSignal2Gone:
        case kMsgRadarGone:
        case kMsgDebugGone:
        case kMsgMeasureGone:
        case kMsgStatisticsGone:
        case kMsgStopPort1:
        case kMsgStopPort2:
            if (m_frame != nullptr)
                m_frame->SendCode(code);
            break;
        case kSourcePort1:
            if (At(0).running != 0)
                m_views.UpdateAllViews(kHintBinary1, object);
            break;
        case kSourcePort2:
            if (At(1).running != 0)
                m_views.UpdateAllViews(kHintBinary2, object);
            break;
        case kMsgSettingsChanged:
            m_views.UpdateAllViews(kHintSettings, nullptr);
            break;
        case kMsgSettingsChanged2:
            m_views.UpdateAllViews(kHintSettings2, nullptr);
            break;
        case kMsgActivity1:
        case kMsgActivity2:
            if (m_frame != nullptr)
                m_frame->PostCode(code);
            break;
        case kSourceNmea1:
            if (At(0).running != 0)
                m_views.UpdateAllViews(kHintNmea1, object);
            break;
        case kSourceNmea2:
            if (At(1).running != 0)
                m_views.UpdateAllViews(kHintNmea2, object);
            break;
        case kMsgPlaybackRestart1:
        case kMsgPlaybackRestart2:
        {
            const int index = code == kMsgPlaybackRestart1 ? 0 : 1;
            if (At(index).running != 0 && At(index).player != nullptr)
                m_views.UpdateAllViews(index == 0 ? kHintPort1Started : kHintPort2Started, nullptr);
            break;
        }
        default:
            break;
    }
}

void CFeedDoc::OnCloseDocument()
{
    StopPort(1);
    StopPort(0);
    IMainFrame* const frame = m_frame;
    if (frame != nullptr)
        frame->SendCode(kMsgDocumentClosing);  // last use of the document: the frame deletes it
}

int CFeedDoc::OpenPort(int index)
{
    Port& port = At(index);
    if (port.source || port.reader.joinable())
        ClosePort(index);  // never two readers on one port
    port.failure = PortOpenFailure::None;
    port.error.clear();

    m_settings.LoadReceiverInit(index);
    const std::string& name = index == 0 ? m_settings.MeasSerialPort : m_settings.MeasSerialPort2;
    const std::string& baudText = index == 0 ? m_settings.MeasSerialBaud : m_settings.MeasSerialBaud2;
    // Port 2 never runs the navigation engine ("Test" is receiver 1 only): its Test reads as binary,
    // its UBX with the own fix as plain UBX; an unknown protocol reads as binary on either port.
    const int mode = EffectivePortMode(index, m_settings.Protocol);

    if (IsNetworkSourceName(name))
    {
        // The line speed means nothing on a socket: the baud text is not checked.
        const auto address = ParseNetworkAddress(name, port.error);
        if (!address)
        {
            port.failure = PortOpenFailure::Missing;
            return 0;
        }
        auto source = std::make_unique<CNetworkSource>(*address, std::string(name));
        if (!source->Usable())
        {
            port.failure = PortOpenFailure::SetupFailed;
            port.error = "cannot set up " + name;
            return 0;
        }
        port.source = std::move(source);
        return StartReader(index, mode);
    }

    const auto baud = ParseBaudText(baudText);
    if (!baud)
    {
        port.failure = PortOpenFailure::UnsupportedBaud;
        port.error = "unsupported baud rate \"" + baudText + "\"";
        return 0;
    }
    std::map<std::string, std::string> overrides;
    for (auto& [key, value] : CAppSettings::ReadProfileSection(kSerialDevicesSection))
        overrides.emplace(std::move(key), std::move(value));
    const std::string device = ResolvePortDevice(name, overrides);
    auto serial = CSerialPort::Open(device, *baud, port.failure, port.error);
    if (!serial)
        return 0;
    serial->Purge();
    port.source = std::make_unique<CSerialSource>(std::move(*serial));
    return StartReader(index, mode);
}

int CFeedDoc::StartReader(int index, int mode)
{
    Port& port = At(index);
    port.signals.mode.store(mode);
    port.signals.gpsTalkerOnly.store(index == 0 ? m_settings.MeasGpsTalkerOnly : m_settings.MeasGpsTalkerOnly2);
    port.signals.hungUp.store(0);
    port.signals.answers.Clear();

    PortLink link;
    link.source = port.source.get();
    link.tap = port.tap;
    const auto views = m_views.ViewHandles();
    for (std::size_t i = 0; i < views.size() && i < link.views.size(); ++i)
        link.views[i] = views[i];
    port.session = std::make_shared<PortSession>();
    link.session = port.session;
    link.fixes = m_views.FixHandle();

    port.signals.run.store(1);
    try
    {
        port.reader =
            std::thread(RunPortReader, index == 0 ? 0 : 1, std::move(link), std::ref(port.signals), m_frame);
    }
    catch (const std::system_error& error)
    {
        port.signals.run.store(0);
        port.session->End();
        port.session.reset();
        port.source.reset();
        port.player = nullptr;
        port.failure = PortOpenFailure::SetupFailed;
        port.error = std::string("cannot start the reader thread: ") + error.what();
        return 0;
    }
    port.source->SetDtr(true);
    return 1;
}

int CFeedDoc::StartPlayback(int index, const std::string& path, int mode)
{
    m_settings.LoadDataSources();
    Port& port = At(index);
    if (port.source || port.reader.joinable())
        StopPort(index);
    m_views.UpdateAllViews(index == 0 ? kHintPort1Started : kHintPort2Started, nullptr);
    port.running = 1;
    port.failure = PortOpenFailure::None;
    port.error.clear();
    const std::string& baudText = index == 0 ? m_settings.MeasSerialBaud : m_settings.MeasSerialBaud2;
    auto player = CRecordingPlayer::Open(path, ParseBaudText(baudText).value_or(4800), port.error);
    if (!player)
    {
        port.failure = PortOpenFailure::Missing;
        StopPort(index);
        return 0;
    }
    mode = EffectivePortMode(index, mode);
    port.player = player.get();
    port.source = std::move(player);
    // The recording is what the engine saw from its start: a fresh engine, as a replay has.
    if (index == 0 && RunsOwnFix(mode))
        ProcessNavEngine() = NavEngine{};
    const int result = StartReader(index, mode);
    if (result == 0)
        StopPort(index);
    return result;
}

CRecordingPlayer* CFeedDoc::Player(int index)
{
    return At(index).player;
}

bool CFeedDoc::StartRecording(int index, const std::string& path, std::string& error)
{
    if (!At(index).source)
    {
        error = "port " + std::to_string(index + 1) + " is not running";
        return false;
    }
    return At(index).tap->Start(path, error);
}

bool CFeedDoc::StopRecording(int index, std::string* error)
{
    return At(index).tap->Stop(error);
}

bool CFeedDoc::IsRecording(int index) const
{
    return At(index).tap->Active();
}

std::string CFeedDoc::RecordingPath(int index) const
{
    return At(index).tap->Path();
}

void CFeedDoc::ClosePort(int index)
{
    Port& port = At(index);
    if (port.session)
    {
        port.session->End();  // updates still queued from this start are dropped
        port.session.reset();
    }
    port.signals.run.store(0);
    StopReader(port);
    // A recording belongs to one run of the port.
    port.tap->Stop();
    if (port.signals.hungUp.exchange(0) != 0 && port.source)
    {
        port.failure = PortOpenFailure::HungUp;
        port.error = port.source->Describe() + " went away (unplugged?)";
    }
    if (port.source)
    {
        port.source->SetDtr(false);
        // Output needs no purge: every write has drained before it returned. Flushing it anyway
        // would, on a pseudo-terminal, throw away bytes the other end has not read yet (the baud
        // change sends its commands and stops the port straight after).
        port.source->DiscardInput();
        port.player = nullptr;
        port.source.reset();
    }
}

void CFeedDoc::StopReader(Port& port)
{
    port.signals.Wake();
    if (port.reader.joinable())
        port.reader.join();
}

int CFeedDoc::SendReceiverCommand(int index, int commandCode, int resetMode)
{
    m_settings.LoadReceiverInit(index);
    ReceiverInitFields init;
    init.x = m_settings.X;
    init.y = m_settings.Y;
    init.z = m_settings.Z;
    init.clock = m_settings.Clock;
    init.useDosTime = m_settings.UseDOSTime;
    init.weekNo = m_settings.WeekNo;
    init.tow = m_settings.TOW;
    init.resetMode = resetMode >= 0 ? resetMode : m_settings.ResetMode;
    init.protocol = m_settings.Protocol;
    init.enableGga = m_settings.EnableGGA;
    init.enableGll = m_settings.EnableGLL;
    init.enableGsa = m_settings.EnableGSA;
    init.enableGsv = m_settings.EnableGSV;
    init.enableRmc = m_settings.EnableRMC;
    init.enableVtg = m_settings.EnableVTG;
    init.enableChecksum = m_settings.EnableNMEAChkSum;
    const std::string baudText = CAppSettings::ReadProfileText(
        "Data Sources", index == 0 ? "MeasSerialBaud" : "MeasSerialBaud2", "4800");
    const auto command = BuildInitCommand(init, baudText, commandCode, m_pcClock());
    const auto bytes = EncodeInitCommand(command, m_settings.MeasNBO != 0);
    PortWriter writer(*this, index);
    SendFramedPacket(writer, bytes);
    m_views.UpdateAllViews(index == 0 ? kHintInitSent1 : kHintInitSent2, nullptr);
    return command.startMode;
}

void CFeedDoc::QueueUbxRequest(int index, const UbxRequest& request)
{
    m_settings.LoadReceiverInit(index);
    const int setting = request.generationSetting >= 0 ? request.generationSetting : m_settings.UbxGeneration;
    At(index).ubxCommands.Configure(index == 0 ? 1 : 2, setting == 1   ? UbxGeneration::M8
                                                        : setting == 2 ? UbxGeneration::F9
                                                                       : UbxGeneration::Unknown);
    At(index).ubxCommands.Enqueue(request);
    // A start clears the receiver's display, as the classic initialisation command does.
    if (request.kind == UbxRequest::Kind::Start)
        m_views.UpdateAllViews(index == 0 ? kHintInitSent1 : kHintInitSent2, nullptr);
}

std::vector<std::string> CFeedDoc::PumpUbxCommands(int index, std::int64_t nowMs)
{
    Port& port = At(index);
    const std::vector<UbxAnswer> answers = port.signals.answers.Take();
    CUbxCommandQueue::Step step = port.ubxCommands.Pump(nowMs, answers, port.signals.answers.Generation());
    if (!step.write.empty())
        (void)WritePort(index, step.write);
    return std::move(step.status);
}

bool CFeedDoc::UbxCommandsBusy(int index) const
{
    return At(index).ubxCommands.Busy();
}

std::string CFeedDoc::ReceiverVersion(int index) const
{
    return At(index).signals.answers.Version();
}

int CFeedDoc::PortMode(int index) const
{
    return At(index).signals.mode.load();
}

std::string CFeedDoc::CommandRefusal(int index) const
{
    const Port& port = At(index);
    if (!port.source)
        return "port " + std::to_string((index == 0 ? 0 : 1) + 1) + " is not running";
    return port.source->CommandRefusal();
}

int CFeedDoc::IsRunning(int index) const
{
    return At(index).running;
}

bool CFeedDoc::IsOpen(int index) const
{
    return At(index).source != nullptr;
}

const std::string& CFeedDoc::LastPortError(int index) const
{
    return At(index).error;
}

PortOpenFailure CFeedDoc::LastPortFailure(int index) const
{
    return At(index).failure;
}

std::string CFeedDoc::PortDevice(int index) const
{
    const Port& port = At(index);
    return port.source ? port.source->Describe() : std::string{};
}

std::string CFeedDoc::PortSourceText(int index) const
{
    const Port& port = At(index);
    if (!port.source)
        return {};
    std::string text = port.source->Describe();
    const std::string state = port.source->StateText();
    if (!state.empty())
        text += " (" + state + ")";
    return text;
}

std::optional<std::thread::native_handle_type> CFeedDoc::ReaderThread(int index)
{
    Port& port = At(index);
    if (!port.reader.joinable())
        return std::nullopt;
    return port.reader.native_handle();
}
}  // namespace vrn
