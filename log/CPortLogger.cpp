// Port logs: per-port log files written by the reader threads.
#include "log/CPortLogger.h"

CPortLogger::~CPortLogger() = default;
void CPortLogger::SetSettingsDialog(SettingsDialog dialog) { m_dialog = std::move(dialog); }
bool CPortLogger::ConfigureLogging(int) { return false; }
bool CPortLogger::StartLogging(int) { return false; }
void CPortLogger::StopLogging(int) {}
int CPortLogger::IsLogging(int) const { return 0; }
void CPortLogger::WriteRecord(const CData&, int) {}
int CPortLogger::WriteSentence(int, std::string&, int) { return 0; }
void CPortLogger::CloseLocked(PortState&) {}
void CPortLogger::WriteLocked(PortState&, const std::string&) {}
