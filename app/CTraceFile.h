// The developer's trace: nested "Entering"/"Exiting" lines for traced scopes and free text lines,
// written to the trace file `$XDG_STATE_HOME/vrnrcvr/glimsat.log` (or
// `~/.local/state/vrnrcvr/glimsat.log`), or to a registered sink (the packet view) instead.
// Everything does nothing while the trace switch (`vrn::TraceSwitch`) is off.
//
// Use from traced code:
//
//     CTraceFile scope("[CData::BuildBinaryDataPacket]\n");   // "Entering [CData::...]"
//     scope.Write("\nComplete packet found.  Beginning import.\n", "a");
//     ...                                                     // "Exiting [CData::...]" at scope end
//
// or `CTraceFile::Write(text)` anywhere. A line is the current thread's indentation ("| " per open
// scope of that thread), the text and one line feed. Every line opens, writes and closes the file;
// a line the file cannot take is dropped. Safe from any thread: one process-wide mutex is held
// around each operation, including the call into the sink.
#pragma once

#include <string>
#include <string_view>

namespace vrn
{
// Receives trace lines instead of the file. Called with the trace's mutex held, on whatever
// thread traces: it must return quickly, never wait for another thread and never trace.
class ITraceSink
{
public:
    virtual ~ITraceSink() = default;
    // One trace line, ending with its line feed.
    virtual void AddText(const std::string& text) = 0;
};
}  // namespace vrn

// A trace scope: a local of the traced function. Not copyable or movable.
class CTraceFile
{
public:
    // A scope without a name: no Entering/Exiting lines (for `Initialise`).
    CTraceFile() = default;
    // Enters the named scope at once.
    explicit CTraceFile(std::string_view name);
    // Exits the scope if it was entered.
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    // Start-up: empties this thread's indentation; with the trace on, fixes the trace path and
    // writes "[Initializing Trace File]" to a new (emptied) file.
    void Initialise();
    // With the trace on: writes "Entering <name>" and indents this thread's lines by one more
    // level. A scope object enters at most once; a second Enter does nothing.
    void Enter(std::string_view name);
    // Leaves the entered scope: one level less, then "Exiting <name>". Called by the destructor.
    void Exit();

    // Writes one line. `mode` "w" empties the file first; anything else ("a") appends.
    static void Write(std::string_view text, std::string_view mode = "a");

    // Writes "Switching to a messaging view" to the current destination, then sends every later
    // line to `sink` instead of the file.
    static void SwitchToMessagingView(vrn::ITraceSink* sink);
    // If `sink` is the registered sink, removes it; lines go to the file again. When this returns
    // the sink is not being called and never will be again.
    static void UnregisterMessagingView(vrn::ITraceSink* sink);

    // The trace file `Initialise` chose; empty before, and when the trace was off then.
    static std::string TracePath();
    // Where `Initialise` puts the trace file; an empty path returns to the default.
    static void SetTraceFileLocation(std::string path);
    static std::string DefaultTracePath();

private:
    std::string m_name;
    bool m_entered = false;
};
