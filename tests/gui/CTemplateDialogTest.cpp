// The template builder: dialog units from the font, controls found by id, tab order, hidden blocks,
// radio groups and list selection by prefix.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <set>

#include "GuiTestSupport.h"
#include "app/CTemplateDialog.h"
#include "res/DialogTemplates.h"

using namespace vrn::gui;
namespace res = vrn::res;

class CTemplateDialogTest : public GuiTest
{
};

TEST_F(CTemplateDialogTest, EveryTemplateBuildsWithUniqueIdsAndRectanglesFromTheFont)
{
    for (const res::DialogTemplate& t : res::AllDialogTemplates())
    {
        CTemplateDialog dialog(t.id, nullptr);
        const DialogUnits& units = dialog.Units();
        EXPECT_EQ(dialog.width(), units.X(t.width)) << t.id;
        EXPECT_EQ(dialog.height(), units.Y(t.height)) << t.id;
        std::set<int> ids;
        for (const res::ControlTemplate& c : t.controls)
        {
            if (c.id == res::kNoId)
                continue;
            EXPECT_TRUE(ids.insert(c.id).second) << "template " << t.id << " repeats id " << c.id;
            QWidget* control = dialog.Control(c.id);
            ASSERT_NE(control, nullptr) << t.id << "/" << c.id;
            EXPECT_EQ(FindControl(&dialog, c.id), control);
            EXPECT_EQ(control->x(), units.X(c.x));
            EXPECT_EQ(control->y(), units.Y(c.y));
            EXPECT_EQ(control->width(), units.X(c.w));
            EXPECT_EQ(control->isHidden(), (c.style & res::kHidden) != 0);
        }
    }
}

TEST_F(CTemplateDialogTest, DialogUnitsFollowAverageCharacterWidthAndHeight)
{
    DialogUnits units;
    units.charWidth = 6;
    units.charHeight = 13;
    EXPECT_EQ(units.X(4), 6);
    EXPECT_EQ(units.X(290), 435);
    EXPECT_EQ(units.Y(8), 13);
    EXPECT_EQ(units.Y(160), 260);
}

TEST_F(CTemplateDialogTest, TabOrderFollowsTheTemplate)
{
    CTemplateDialog dialog(res::kIddLogFileSettings, nullptr);
    dialog.show();
    // File name, Browse, the four binary checks, the six NMEA checks, OK, Cancel.
    const std::vector<int> order{1097, 1098, 1131, 1132, 1133, 1150, 1134, 1135, 1136, 1137, 1138, 1139, 1, 2};
    auto nextFocusable = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus);
        return w;
    };
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(nextFocusable(dialog.Control(order[i])), dialog.Control(order[i + 1])) << "after " << order[i];
}

TEST_F(CTemplateDialogTest, RadioGroupsAndListPrefixes)
{
    CTemplateDialog dialog(res::kIddInputSettings, nullptr);
    // 1022, 1014, 1017 form one group although other controls sit between them in the template.
    dialog.SetRadioIndex(1022, 2);
    EXPECT_TRUE(dialog.IsChecked(1017));
    EXPECT_EQ(dialog.RadioIndex(1022), 2);
    dialog.SetRadioIndex(1022, -1);
    EXPECT_EQ(dialog.RadioIndex(1022), -1);
    EXPECT_FALSE(dialog.IsChecked(1017));

    dialog.SelectListPrefix(1060, QStringLiteral("192"));
    EXPECT_EQ(dialog.ListText(1060), QStringLiteral("19200"));
    dialog.SelectListPrefix(1015, QStringLiteral("com3"));
    EXPECT_EQ(dialog.ListText(1015), QStringLiteral("COM3"));
    dialog.SelectListPrefix(1015, QString());
    EXPECT_EQ(dialog.ListText(1015), QString());
    dialog.SelectListPrefix(1015, QStringLiteral("COM5"));
    EXPECT_EQ(dialog.ListText(1015), QString());
}

TEST_F(CTemplateDialogTest, NumbersAreReadWithAPointWhateverTheLocaleAndRefusedWithFocus)
{
    CTemplateDialog dialog(res::kIddReceiverInit, nullptr);
    dialog.show();
    float value = 0;
    dialog.SetText(1038, QStringLiteral(" 24.77 "));
    ASSERT_TRUE(dialog.ReadFloat(1038, value));
    EXPECT_FLOAT_EQ(value, 24.77F);
    dialog.SetText(1038, QStringLiteral("24,77"));
    EXPECT_FALSE(dialog.ReadFloat(1038, value));
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0], QStringLiteral("Please enter a number."));
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(1038));
    EXPECT_EQ(CTemplateDialog::FormatReal(25.0F), QStringLiteral("25"));
    EXPECT_EQ(CTemplateDialog::FormatReal(121.5F), QStringLiteral("121.5"));
}
