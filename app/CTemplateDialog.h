// The base of every dialog: builds its widgets from a dialog template (res/DialogTemplates.h),
// converting dialog units to pixels from the dialog font, and gives code and tests the controls by
// their numeric ids. Subclasses override OnInitDialog, OnOK, OnCancel and OnCommand.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QString>
#include <cstdint>
#include <map>

#include "res/DialogTemplates.h"

class QButtonGroup;

namespace vrn::gui
{
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Dialog units to pixels for a font: x = dlu × average character width / 4, y = dlu × height / 8.
struct DialogUnits
{
    int charWidth = 6;
    int charHeight = 13;
    [[nodiscard]] int X(int dlu) const;
    [[nodiscard]] int Y(int dlu) const;
    static DialogUnits ForFont(const QFont& font);
};

// The control with `id` among the children of `dialog` (any dialog built from a template), or null.
QWidget* FindControl(const QWidget* dialog, int id);

class CTemplateDialog : public QDialog
{
    Q_OBJECT
public:
    CTemplateDialog(int templateId, QWidget* parent);

    [[nodiscard]] int TemplateId() const { return m_template->id; }
    // Null for an id the template does not hold.
    [[nodiscard]] QWidget* Control(int id) const;
    [[nodiscard]] const DialogUnits& Units() const { return m_units; }

    // Runs the dialog modally; the result is kIdOk, kIdCancel or another id passed to EndDialog.
    int DoModal();
    // Ends the dialog with `result`.
    void EndDialog(int result);

    // Control access by id (no effect on ids the template does not hold).
    [[nodiscard]] QString Text(int id) const;
    void SetText(int id, const QString& text);
    [[nodiscard]] bool IsChecked(int id) const;
    void SetChecked(int id, bool checked);
    void Enable(int id, bool enable);
    [[nodiscard]] bool IsEnabled(int id) const;
    // Radio groups, addressed by the id of their first button: index of the checked one or -1.
    [[nodiscard]] int RadioIndex(int firstId) const;
    void SetRadioIndex(int firstId, int index);
    // Drop-down lists: the text of the selected item, or empty when none is selected.
    [[nodiscard]] QString ListText(int id) const;
    // Selects the first item that begins with `text` (letter case ignored); none when no item does
    // or `text` is empty.
    void SelectListPrefix(int id, const QString& text);
    // Moves the keyboard focus to a control; an edit gets its text selected.
    void GotoControl(int id);
    // A drop-down list whose list opens with the down arrow key.
    void SetExtendedUI(int id);

    // Numbers in edits, read and written with '.' whatever the locale. A Read that fails shows the
    // framework's message, moves the focus to the edit and returns false.
    bool ReadInt(int id, int& value);
    bool ReadUnsigned(int id, std::uint32_t& value);
    bool ReadFloat(int id, float& value);
    bool ReadDouble(int id, double& value);
    // Range checks with the framework's message and focus; false when outside.
    bool CheckRange(int id, int value, int minimum, int maximum);
    bool CheckRange(int id, double value, double minimum, double maximum);
    void SetInt(int id, long long value);
    // Up to `digits` significant digits, no trailing zeros ("25", "121.5").
    void SetReal(int id, double value, int digits = 6);
    static QString FormatReal(double value, int digits = 6);

protected:
    virtual void OnInitDialog() {}
    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }
    // Any other button, check box or radio button clicked.
    virtual void OnCommand(int /*id*/) {}
    // False while Escape and the close box must not end the dialog.
    [[nodiscard]] virtual bool CanCancel() const { return IsEnabled(kIdCancel) || !Control(kIdCancel); }

    void showEvent(QShowEvent* event) override;
    void reject() override;
    void accept() override;

private:
    void Build();
    void Clicked(int id);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Refuse(int id, const QString& message);

    const res::DialogTemplate* m_template;
    DialogUnits m_units;
    std::map<int, QWidget*> m_controls;
    std::map<int, QButtonGroup*> m_radioGroups;  // by first button id
    std::map<int, int> m_radioFirst;             // button id -> first id of its group
    bool m_initialised = false;
};

// Dialog colours: light grey background, black text and white fields; disabled controls show grey
// text and fields in the window colour.
void ApplyDialogPalette(QWidget* widget);

// A drop-down list for texts that may be longer than its box, such as device paths: the closed box
// shows a text that does not fit with its middle left out ("/dev/ser…-port0") and the whole text as
// its tool tip; the opened list is as wide as its longest item.
class CDropList : public QComboBox
{
    Q_OBJECT
public:
    explicit CDropList(QWidget* parent);
    // What the closed box shows of the current text.
    [[nodiscard]] QString ShownText() const;
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] int TextWidth() const;
    void UpdateToolTip();
};

// A group box drawn as the classic dialogs draw it: an etched frame whose top line runs through the
// middle of the caption, so controls placed below the caption stay clear of the line.
class CGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
    // Where the caption starts and ends, in the box's coordinates.
    [[nodiscard]] QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
}  // namespace vrn::gui
