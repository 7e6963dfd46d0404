// The Track Map Preferences dialog (template 133): the map's scale and centre. The opener sets the
// values before showing it and saves the result.
#pragma once

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CTrackMapPrefsDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CTrackMapPrefsDlg(QWidget* parent) : CTemplateDialog(res::kIddTrackMapPrefs, parent) {}

    // Scale in metres; the centre mode becomes 1 ("Center to True Coordiates:") and the two texts
    // the centre in degrees formatted "%9.5f".
    void SetValues(int scale, double latitude, double longitude);
    [[nodiscard]] int Scale() const { return m_scale; }
    [[nodiscard]] int CenterMode() const { return m_centerMode; }
    [[nodiscard]] const QString& LatitudeText() const { return m_latitudeText; }
    [[nodiscard]] const QString& LongitudeText() const { return m_longitudeText; }
    // A text as the C library's floating conversion reads it: the numeric prefix, 0 without one
    // (and for a value that is not finite).
    static double ParseCoordinate(const QString& text);

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    int m_centerMode = -1;
    QString m_latitudeText;
    QString m_longitudeText;
    int m_scale = 0;
};
}  // namespace vrn::gui
