// The trace file and its optional sink.
#include "app/CTraceFile.h"

CTraceFile::CTraceFile(std::string_view) {}
CTraceFile::~CTraceFile() = default;
void CTraceFile::Initialise() {}
void CTraceFile::Enter(std::string_view) {}
void CTraceFile::Exit() {}
void CTraceFile::Write(std::string_view, std::string_view) {}
void CTraceFile::SwitchToMessagingView(vrn::ITraceSink*) {}
void CTraceFile::UnregisterMessagingView(vrn::ITraceSink*) {}
std::string CTraceFile::TracePath() { return {}; }
void CTraceFile::SetTraceFileLocation(std::string) {}
std::string CTraceFile::DefaultTracePath() { return {}; }
