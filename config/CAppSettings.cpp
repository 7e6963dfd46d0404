// Settings store: group loads and saves over the INI profile.
#include "config/CAppSettings.h"

void CAppSettings::SetProfilePath(std::string) {}
std::string CAppSettings::ProfilePath() { return {}; }
std::string CAppSettings::DefaultProfilePath() { return {}; }
void CAppSettings::LoadDataSources() {}
bool CAppSettings::SaveDataSources() const { return false; }
void CAppSettings::LoadReceiverInit(int) {}
bool CAppSettings::SaveReceiverInit(int) const { return false; }
void CAppSettings::LoadLogging(int) {}
bool CAppSettings::SaveLogging(int) const { return false; }
void CAppSettings::LoadMapView() {}
bool CAppSettings::SaveMapView() const { return false; }
void CAppSettings::LoadRadarView() {}
bool CAppSettings::SaveRadarView() const { return false; }
void CAppSettings::LoadSignalView() {}
bool CAppSettings::SaveSignalView() const { return false; }
void CAppSettings::LoadGeneral() {}
void CAppSettings::LoadTimerDelay() {}
bool CAppSettings::SaveTimerDelay() const { return false; }
void CAppSettings::LoadExternalTimer() {}
bool CAppSettings::SaveExternalTimer() const { return false; }
int CAppSettings::ReadProfileInt(std::string_view, std::string_view, int defaultValue) { return defaultValue; }
std::string CAppSettings::ReadProfileText(std::string_view, std::string_view, std::string_view defaultValue)
{
    return std::string(defaultValue);
}
bool CAppSettings::WriteProfileText(std::string_view, std::string_view, std::string_view) { return false; }
bool CAppSettings::WriteProfileInt(std::string_view, std::string_view, int) { return false; }
bool CAppSettings::WriteProfileValues(std::string_view, const std::vector<std::pair<std::string, std::string>>&)
{
    return false;
}
std::vector<std::pair<std::string, std::string>> CAppSettings::ReadProfileSection(std::string_view) { return {}; }
