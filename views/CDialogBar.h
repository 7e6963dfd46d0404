// A dialog bar: a strip of static texts, group boxes and buttons built from a view template
// (res/ViewBarTemplates.h) and docked along an edge of a view. Fields are found by their control
// ids; the buttons report their ids. UI thread only.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <string>

class QLabel;

namespace vrn::gui
{
class CDialogBar : public QWidget
{
    Q_OBJECT
public:
    CDialogBar(int templateId, QWidget* parent);

    // Null for an id the template does not hold.
    [[nodiscard]] QWidget* Control(int id) const;
    // Sets a static text, group box caption or button text; ids the bar does not hold are ignored.
    void SetText(int id, const QString& text);
    void SetText(int id, const std::string& text) { SetText(id, QString::fromStdString(text)); }
    [[nodiscard]] QString Text(int id) const;
    // Receives the id of a clicked button.
    void SetCommandHandler(std::function<void(int id)> handler) { m_onCommand = std::move(handler); }
    // Clicks button `id` as the user would.
    void Click(int id);

private:
    void FitLabel(QLabel& label);

    std::map<int, QWidget*> m_controls;
    std::map<const QWidget*, QRect> m_templateRects;  // value fields as the template places them
    std::function<void(int)> m_onCommand;
};
}  // namespace vrn::gui
