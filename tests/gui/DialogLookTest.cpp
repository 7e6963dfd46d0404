// How the dialogs and the views' bars look in the program's font: every text of every template fits
// its control, group box lines stay clear of the controls under their captions, and disabled
// controls look disabled.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <memory>

#include "GuiTestSupport.h"
#include "app/CTemplateDialog.h"
#include "res/DialogTemplates.h"
#include "res/ViewBarTemplates.h"
#include "views/CDialogBar.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A dialog or a bar built from a template, as the program builds it.
std::unique_ptr<QWidget> Build(const res::DialogTemplate& t, bool bar)
{
    if (bar)
        return std::make_unique<CDialogBar>(t.id, nullptr);
    return std::make_unique<CTemplateDialog>(t.id, nullptr);
}

std::vector<std::pair<const res::DialogTemplate*, bool>> AllTemplates()
{
    std::vector<std::pair<const res::DialogTemplate*, bool>> all;
    for (const res::DialogTemplate& t : res::AllDialogTemplates())
        all.emplace_back(&t, false);
    for (const int id : {res::kIddStatusPanel, res::kIddMeasureBar})
        all.emplace_back(res::FindViewTemplate(id), true);
    return all;
}

// The widget a template control became: the child at the control's place showing its text.
QWidget* WidgetOf(const QWidget& parent, const res::ControlTemplate& c, const DialogUnits& units)
{
    const QPoint at(units.X(c.x), units.Y(c.y));
    const QString text = ToQString(c.text);
    for (QWidget* w : parent.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    {
        if (w->pos() != at)
            continue;
        if (auto* label = qobject_cast<QLabel*>(w); label && label->text() == text)
            return w;
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->text() == text)
            return w;
        if (auto* box = qobject_cast<QGroupBox*>(w); box && box->title() == text)
            return w;
    }
    return nullptr;
}

QString WithoutMnemonic(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// The room the style gives a button's text.
QRect ButtonTextRect(QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (auto* push = qobject_cast<QPushButton*>(&button))
    {
        if (push->autoDefault() || push->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    else if (qobject_cast<QRadioButton*>(&button))
        element = QStyle::SE_RadioButtonContents;
    else
        element = QStyle::SE_CheckBoxContents;
    return button.style()->subElementRect(element, &option, &button);
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return n;
}
}  // namespace

TEST_F(GuiTest, EveryTemplateTextFitsItsControlInTheProgramsFont)
{
    int checked = 0;
    for (const auto& [t, bar] : AllTemplates())
    {
        std::unique_ptr<QWidget> parent = Build(*t, bar);
        const DialogUnits units = DialogUnits::ForFont(parent->font());
        for (const res::ControlTemplate& c : t->controls)
        {
            const bool texted = c.kind == res::ControlKind::Label || c.kind == res::ControlKind::GroupBox ||
                                c.kind == res::ControlKind::PushButton ||
                                c.kind == res::ControlKind::DefaultButton ||
                                c.kind == res::ControlKind::CheckBox || c.kind == res::ControlKind::RadioButton;
            if (!texted || c.text.empty() || (c.style & res::kHidden))
                continue;
            const std::string what = std::to_string(t->id) + " \"" + std::string(c.text) + "\"";
            QWidget* w = WidgetOf(*parent, c, units);
            ASSERT_NE(w, nullptr) << what;
            const QFontMetrics metrics(w->font());
            // Trailing blanks show nothing.
            QString text = WithoutMnemonic(ToQString(c.text));
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
            ++checked;
            if (auto* label = qobject_cast<QLabel*>(w))
            {
                if (label->wordWrap())
                {
                    const QRect need =
                        metrics.boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, text);
                    EXPECT_LE(need.height(), label->height()) << what;
                }
                else
                {
                    EXPECT_LE(metrics.horizontalAdvance(text), label->width()) << what;
                    EXPECT_LE(metrics.height(), label->height()) << what;
                }
            }
            else if (auto* box = qobject_cast<CGroupBox*>(w))
            {
                EXPECT_LE(box->CaptionRect().right(), box->width() - metrics.averageCharWidth()) << what;
            }
            else if (auto* button = qobject_cast<QAbstractButton*>(w))
            {
                const QRect room = ButtonTextRect(*button);
                EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << what;
                EXPECT_LE(metrics.height(), button->height()) << what;
            }
            else
            {
                ADD_FAILURE() << what << " is no label, group box or button";
            }
        }
    }
    EXPECT_GT(checked, 150);
}

TEST_F(GuiTest, GroupBoxLinesRunThroughTheirCaptionsClearOfTheControlsBelow)
{
    // The status panel's receiver boxes: the first value row lies below the box's line.
    CDialogBar panel(res::kIddStatusPanel, nullptr);
    panel.resize(panel.minimumSize());
    panel.SetText(1221, QStringLiteral(" < /dev/ttyUSB0 >"));
    for (const auto& [boxId, firstRowId] : {std::pair{1221, 1029}, std::pair{1222, 1043}})
    {
        auto* box = qobject_cast<CGroupBox*>(panel.Control(boxId));
        ASSERT_NE(box, nullptr) << boxId;
        const int line = box->y() + box->fontMetrics().height() / 2;
        QWidget* row = panel.Control(firstRowId);
        EXPECT_LT(line + 1, row->y()) << boxId;
        // And the line is where it is drawn: dark grey under the caption's middle, right of it.
        const QImage image = box->grab().toImage();
        const int x = box->CaptionRect().right() + 6;
        EXPECT_EQ(image.pixelColor(x, line - box->y()), QColor(128, 128, 128)) << boxId;
        EXPECT_EQ(image.pixelColor(x, line - box->y() + 1), QColor(255, 255, 255)) << boxId;
        EXPECT_EQ(image.pixelColor(x, line - box->y() + 3), QColor(192, 192, 192)) << boxId;
    }
}

TEST_F(GuiTest, DisabledControlsLookDisabled)
{
    // Every visible control of every dialog, painted enabled and then disabled: among them the
    // first Input Settings' Cancel, the NMEA group of a binary receiver, the week and time of week
    // under "Use Current PC Time" and the track map's centre options.
    int compared = 0;
    for (const res::DialogTemplate& t : res::AllDialogTemplates())
    {
        CTemplateDialog dialog(t.id, nullptr);
        dialog.show();
        ProcessEventsUntil([] { return false; }, 20);
        for (const res::ControlTemplate& c : t.controls)
        {
            if (c.id == res::kNoId || (c.style & res::kHidden) || c.kind == res::ControlKind::Icon)
                continue;
            QWidget* w = dialog.Control(c.id);
            ASSERT_NE(w, nullptr);
            const std::string what = std::to_string(t.id) + "/" + std::to_string(c.id);
            w->setEnabled(true);
            const QImage enabled = w->grab().toImage();
            w->setEnabled(false);
            const QImage disabled = w->grab().toImage();
            ++compared;
            if (c.kind == res::ControlKind::Edit)
            {
                // An empty field shows the window colour instead of white.
                const QPoint inside(w->width() / 2, w->height() / 2);
                EXPECT_EQ(enabled.pixelColor(inside), QColor(255, 255, 255)) << what;
                EXPECT_EQ(disabled.pixelColor(inside), QColor(192, 192, 192)) << what;
                continue;
            }
            if (c.text.empty() && c.kind != res::ControlKind::DropList)
                continue;
            // Text turns grey: a good part of the control changes, and no black is left.
            EXPECT_GT(DifferentPixels(enabled, disabled), 15) << what;
            int black = 0;
            for (int y = 0; y < disabled.height(); ++y)
                for (int x = 0; x < disabled.width(); ++x)
                    black += disabled.pixelColor(x, y) == QColor(0, 0, 0) ? 1 : 0;
            EXPECT_EQ(black, 0) << what;
        }
    }
    EXPECT_GT(compared, 60);
}
