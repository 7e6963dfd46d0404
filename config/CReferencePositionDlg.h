// The Reference Position dialog (template 141): the typed reference of the Statistics view, latitude
// and longitude in degrees and the height above the ellipsoid in metres.
#pragma once

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CReferencePositionDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CReferencePositionDlg(QWidget* parent) : CTemplateDialog(res::kIddReferencePosition, parent) {}

    void SetPosition(double latitudeDeg, double longitudeDeg, double heightM);
    [[nodiscard]] double LatitudeDeg() const { return m_latitude; }
    [[nodiscard]] double LongitudeDeg() const { return m_longitude; }
    [[nodiscard]] double HeightM() const { return m_height; }

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    double m_latitude = 0.0, m_longitude = 0.0, m_height = 0.0;
};
}  // namespace vrn::gui
