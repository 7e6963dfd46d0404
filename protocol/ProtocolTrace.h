// The decoders' view of the trace: a scope around the packet extraction and free lines in append
// mode. Each call is one relaxed flag test while the trace switch is off.
#pragma once

#include <string>

#include "app/CoreServices.h"

// Writes one trace line (append mode); nothing while the trace switch is off.
void ProtocolTraceLine(const std::string& text);
// Entering/Exiting lines of a traced scope.
void ProtocolTraceEnter(const char* name);
void ProtocolTraceExit(const char* name);

inline bool ProtocolTraceOn() { return vrn::TraceSwitch(); }

inline void ProtocolTraceWrite(const char* text)
{
    if (ProtocolTraceOn())
        ProtocolTraceLine(text);
}

// A traced scope for the lifetime of the object; decided once, at construction.
class ProtocolTraceScope
{
public:
    explicit ProtocolTraceScope(const char* name) : m_name(ProtocolTraceOn() ? name : nullptr)
    {
        if (m_name != nullptr)
            ProtocolTraceEnter(m_name);
    }
    ~ProtocolTraceScope()
    {
        if (m_name != nullptr)
            ProtocolTraceExit(m_name);
    }
    ProtocolTraceScope(const ProtocolTraceScope&) = delete;
    ProtocolTraceScope& operator=(const ProtocolTraceScope&) = delete;

private:
    const char* m_name;
};
