// Process-wide switches and upward hooks of the core: the debug and trace switches of the command
// line, the decoder-error report that only shows its first text, and the port log that the decoders
// write to. The GUI application fills these in at start-up; the tools and the tests fill them in
// themselves. Every accessor is safe to call from any thread.
#pragma once

#include <functional>
#include <string>

class CData;

namespace vrn
{

// The sink that receives the lines a port logs. `CPortLogger` implements it; the core never sees
// the logger itself. Called on reader threads.
class IPortLog
{
public:
    virtual ~IPortLog() = default;
    // Binary record of the set's current message, port index 0 or 1.
    virtual void WriteRecord(const CData& set, int port) = 0;
    // NMEA sentence of log kind 1 GGA .. 6 VTG. Appends a line feed to `text` when it is written;
    // returns 1 when written, 0 when the kind is disabled or the port is not logging.
    virtual int WriteSentence(int kind, std::string& text, int port) = 0;
};

// Receives every position report of a record set, after the set's `fix` took it in: an NMEA
// position sentence (GGA, RMC, GLL, GNS of any talker) or a binary NAV record. `vrnrcvr-replay
// --fixes` implements it; the program installs none. Called on reader threads.
class IFixSink
{
public:
    virtual ~IFixSink() = default;
    virtual void FixReported(const CData& set) = 0;
};

// Debug switch: decoders leave error texts only while it is on.
void SetDebugSwitch(bool on);
bool DebugSwitch();

// Trace switch: the trace file writes only while it is on.
void SetTraceSwitch(bool on);
bool TraceSwitch();

// Shows `text` through the installed reporter the first time it is called in a run (or after
// ResetErrorLatch); later calls, and calls while a report is still showing, do nothing.
// The reporter may run on the calling thread; the GUI's hands the text to the UI thread.
void ShowErrorOnce(const std::string& text);
void SetErrorReporter(std::function<void(const std::string&)> reporter);
void ResetErrorLatch();
// Called by a reporter when the message it showed has been closed.
void ErrorReportClosed();

// Message boxes a reader thread must show (its start failures): handed to the installed presenter,
// which queues the text to the UI thread and returns at once; the reader never waits for the box.
// Without a presenter the text goes to standard error.
void ShowMessage(const std::string& text);
void SetMessagePresenter(std::function<void(const std::string&)> presenter);

// The port log that the decoders and reader threads write to; null when none is installed.
void SetPortLog(IPortLog* log);
IPortLog* PortLog();

// The fix sink; null when none is installed.
void SetFixSink(IFixSink* sink);
IFixSink* FixSink();

}  // namespace vrn
