// Where the decoders' trace lines go. Until the trace file is part of the core these do nothing;
// the decoders call only the three functions below, so pointing them at the trace changes no caller.
#include "protocol/ProtocolTrace.h"

void ProtocolTraceLine(const std::string& /*text*/) {}
void ProtocolTraceEnter(const char* /*name*/) {}
void ProtocolTraceExit(const char* /*name*/) {}
