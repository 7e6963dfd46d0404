// The Statistics view on the program's accuracy workbench: fix reports fill the table, freeze holds
// it, reset empties it, the chooser's reference reaches the profile, the table copies as tab-separated
// text, and the times to first fix are shown.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "analysis/AnalysisTestSupport.h"
#include "app/CAccuracyHub.h"
#include "app/CTemplateDialog.h"
#include "app/GuiServices.h"
#include "config/CAppSettings.h"
#include "views/CStatisticsView.h"

using namespace vrn;
using namespace vrn::gui;
using namespace vrn::analysis;

namespace
{
const analysistest::Point kOrigin{24.7753, 121.00248, 150.0};
constexpr int kWeek = 2400;

class StatisticsViewWidgets : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("vrn-stats-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_profile = (m_dir / "vrnrcvr.ini").string();
        CAppSettings::SetProfilePath(m_profile);
        m_hub = std::make_unique<CAccuracyHub>();
        m_view = std::make_unique<CStatisticsView>();
        m_view->AttachHub(*m_hub);
        m_view->OnInitialUpdate();
        ReferenceChoice typed;
        typed.kind = ReferenceKind::Position;
        typed.latitudeDeg = kOrigin.latitudeDeg;
        typed.longitudeDeg = kOrigin.longitudeDeg;
        typed.heightM = kOrigin.heightM;
        m_hub->SetReference(typed);
    }
    void TearDown() override
    {
        m_view.reset();
        m_hub.reset();
        CAppSettings::SetProfilePath({});
        std::filesystem::remove_all(m_dir);
    }

    // A receiver report at `e`, `n` metres from the reference, at second `k` of the week's hour.
    void Report(int source, int k, double e, double n, int fixMode = 3)
    {
        const auto p = analysistest::Offset(kOrigin, e, n, 0.0);
        ReceiverFix fix;
        fix.sequence = static_cast<std::uint32_t>(++m_sequence);
        fix.gpsWeek = kWeek;
        fix.gpsTimeOfWeekS = 3600.0 + k;
        fix.latitudeDeg = p.latitudeDeg;
        fix.longitudeDeg = p.longitudeDeg;
        fix.heightEllipsoidM = p.heightM;
        fix.fixMode = fixMode;
        fix.quality = fixMode >= 2 ? 1 : 0;
        fix.satsUsed = 9;
        m_hub->OnFix(source, fix, CAccuracyHub::Now());
    }
    QString Cell(int row, const char* column) const
    {
        const auto& columns = TableColumns();
        const auto it = std::find(columns.begin(), columns.end(), std::string_view(column));
        return m_view->Table().item(row, static_cast<int>(it - columns.begin()))->text();
    }

    std::filesystem::path m_dir;
    std::string m_profile;
    std::unique_ptr<CAccuracyHub> m_hub;
    std::unique_ptr<CStatisticsView> m_view;
    int m_sequence = 0;
};
}  // namespace

TEST_F(StatisticsViewWidgets, ReportsFillTheTableAndFreezeHoldsIt)
{
    // Own fix: one epoch per report. 3, 4 m then 0, 1 m from the reference; one epoch without a fix.
    Report(kFixOwn, 0, 3.0, 4.0);
    Report(kFixOwn, 1, 0.0, 1.0);
    Report(kFixOwn, 2, 9.0, 9.0, 1);
    EXPECT_EQ(m_view->windowTitle(), QStringLiteral("Statistics View"));
    EXPECT_EQ(Cell(2, "epochs"), QStringLiteral("3"));
    EXPECT_EQ(Cell(2, "fixed"), QStringLiteral("2"));
    EXPECT_EQ(Cell(2, "meanE"), QStringLiteral("1.500"));
    EXPECT_EQ(Cell(2, "maxH"), QStringLiteral("5.000"));
    EXPECT_EQ(Cell(2, "within1m"), QStringLiteral("0.5000"));
    EXPECT_EQ(Cell(0, "epochs"), QString());  // no epochs: an empty row

    // A receiver's epoch is complete when its next report comes.
    Report(kFixReceiver1, 0, 1.0, 0.0);
    EXPECT_EQ(Cell(0, "epochs"), QString());
    Report(kFixReceiver1, 1, 1.0, 0.0);
    EXPECT_EQ(Cell(0, "epochs"), QStringLiteral("1"));

    m_view->FreezeButton().click();
    EXPECT_TRUE(m_view->Frozen());
    Report(kFixOwn, 3, 0.0, 2.0);
    EXPECT_EQ(Cell(2, "epochs"), QStringLiteral("3"));  // held
    m_view->FreezeButton().click();
    EXPECT_EQ(Cell(2, "epochs"), QStringLiteral("4"));

    const QString text = m_view->TableText();
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("source\tepochs\tfixed\tmeanE")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Own fix\t4\t3\t")));
    EXPECT_EQ(lines[3].count(QLatin1Char('\t')), 19);
    m_view->CopyTable();
    if (QClipboard* clipboard = QApplication::clipboard(); clipboard && !clipboard->text().isEmpty())
    {
        EXPECT_EQ(clipboard->text(), text);
    }

    m_view->findChild<QPushButton*>(QStringLiteral("reset"))->click();
    EXPECT_EQ(Cell(2, "epochs"), QString());
    EXPECT_TRUE(m_view->toolTip().contains(QStringLiteral("ceil(p\u00b7n)")));
}

TEST_F(StatisticsViewWidgets, ReferenceChoicesReachTheProfileAndComeBack)
{
    for (int index = 0; index < m_view->ReferenceBox().count(); ++index)
    {
        const ReferenceChoice c = CStatisticsView::ReferenceFromIndex(index, m_hub->Reference());
        EXPECT_EQ(CStatisticsView::ReferenceIndex(c), index) << index;
    }
    m_view->ChooseReference(6);  // receiver 2 at the same epoch
    EXPECT_EQ(m_hub->Reference().kind, ReferenceKind::Source);
    EXPECT_EQ(m_hub->Reference().source, SourceId::Receiver2);
    EXPECT_EQ(CAppSettings::ReadProfileInt("Statistics View", "Reference", -1), 3);
    EXPECT_EQ(CAppSettings::ReadProfileInt("Statistics View", "Reference Source", -1), 1);
    EXPECT_EQ(CAppSettings::ReadProfileText("Statistics View", "Reference Latitude", ""), "24.775300000");

    // A truth file chosen through the button; a bad one leaves the reference as it was.
    const std::string truth = (m_dir / "truth.csv").string();
    std::ofstream(truth) << "week,tow,lat,lon,height\n2400,3600,24.7753,121.00248,150\n";
    SetFileDialogHandler([&](QWidget*, const FileDialogRequest& request) -> std::optional<QString> {
        EXPECT_FALSE(request.save);
        return QString::fromStdString(truth);
    });
    m_view->ChooseReference(8);
    SetFileDialogHandler({});
    EXPECT_EQ(m_hub->Reference().kind, ReferenceKind::Truth);
    EXPECT_EQ(m_hub->TruthPath(), QString::fromStdString(truth));
    Report(kFixOwn, 0, 0.0, 2.0);
    Report(kFixOwn, 5, 0.0, 2.0);  // no truth row within half a second: left out
    EXPECT_EQ(Cell(2, "epochs"), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, "meanN"), QStringLiteral("2.000"));

    // A second hub reads what the first one stored.
    CAccuracyHub again;
    again.LoadSettings();
    EXPECT_EQ(again.Reference().kind, ReferenceKind::Truth);
    EXPECT_NEAR(again.Reference().latitudeDeg, kOrigin.latitudeDeg, 1e-9);
    EXPECT_EQ(again.TruthPath(), QString::fromStdString(truth));
    ASSERT_NE(again.Workbench().Truth(), nullptr);
    EXPECT_EQ(again.Workbench().Truth()->Size(), 1U);
}

TEST_F(StatisticsViewWidgets, TypedPositionThroughItsDialog)
{
    std::vector<QString> messages;
    SetMessageHandler([&](QWidget*, const QString& text) { messages.push_back(text); });
    m_view->SetDialogRunner([](CTemplateDialog& dialog) {
        dialog.show();
        EXPECT_EQ(dialog.Text(1211), QStringLiteral("24.7753"));  // the stored reference
        dialog.SetText(1211, QStringLiteral("24.7754"));
        dialog.SetText(1212, QStringLiteral("200"));  // out of range: refused, the dialog stays open
        qobject_cast<QAbstractButton*>(dialog.Control(kIdOk))->click();
        EXPECT_TRUE(dialog.isVisible());
        dialog.SetText(1212, QStringLiteral("121.00248"));
        dialog.SetText(1213, QStringLiteral("151.5"));
        qobject_cast<QAbstractButton*>(dialog.Control(kIdOk))->click();
        return dialog.result();
    });
    m_view->findChild<QPushButton*>(QStringLiteral("position"))->click();
    SetMessageHandler({});
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("between -180 and 180"))) << messages[0].toStdString();
    EXPECT_EQ(m_hub->Reference().kind, ReferenceKind::Position);
    EXPECT_DOUBLE_EQ(m_hub->Reference().latitudeDeg, 24.7754);
    EXPECT_DOUBLE_EQ(m_hub->Reference().heightM, 151.5);
}

TEST_F(StatisticsViewWidgets, TimeToFirstFixAndTheCampaignShown)
{
    Report(kFixOwn, 0, 0.0, 0.0);
    m_hub->CommandSent(0, kStartCold);
    EXPECT_TRUE(m_view->TtffText().text().contains(QStringLiteral("Receiver 1: waiting")));
    EXPECT_TRUE(m_view->TtffText().text().contains(QStringLiteral("Own fix: waiting")));
    EXPECT_TRUE(m_view->TtffText().text().contains(QStringLiteral("(cold start)")));
    ReceiverFix noFix{};
    noFix.sequence = 1;
    noFix.quality = 0;  // no fix yet
    m_hub->OnFix(kFixReceiver1, noFix, CAccuracyHub::Now());
    ReceiverFix fixed{};
    fixed.sequence = 2;
    fixed.latitudeDeg = 24.0;
    fixed.longitudeDeg = 121.0;
    fixed.altitudeMslM = 10.0;
    fixed.quality = 1;
    fixed.fixMode = 3;
    m_hub->OnFix(kFixReceiver1, fixed, CAccuracyHub::Now() + 31.25);
    const QString text = m_view->TtffText().text();
    EXPECT_TRUE(text.contains(QStringLiteral("Receiver 1: 31.2 s (cold start)")) ||
                text.contains(QStringLiteral("Receiver 1: 31.3 s (cold start)")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Receiver 2: \u2014"))) << text.toStdString();
}
