// Statistics view: the chooser, the buttons, the drawing, the table and the time to first fix.
#include "views/CStatisticsView.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/CAccuracyHub.h"
#include "app/GuiServices.h"
#include "app/WindowPlacement.h"
#include "config/CReferencePositionDlg.h"
#include "link/Notifications.h"
#include "views/StatisticsPlot.h"

namespace vrn::gui
{
namespace
{
using namespace vrn::analysis;

constexpr const char* kPlacementSection = "StatisticsView";

// The chooser's entries, in order.
struct ReferenceEntry
{
    const char* text;
    ReferenceKind kind;
    SourceId source;
};
constexpr std::array<ReferenceEntry, 9> kReferences{{
    {"Each source's own mean", ReferenceKind::OwnMean, SourceId::Receiver1},
    {"Mean of receiver 1", ReferenceKind::SourceMean, SourceId::Receiver1},
    {"Mean of receiver 2", ReferenceKind::SourceMean, SourceId::Receiver2},
    {"Mean of the own fix", ReferenceKind::SourceMean, SourceId::Own},
    {"Typed position", ReferenceKind::Position, SourceId::Receiver1},
    {"Receiver 1 at the same epoch", ReferenceKind::Source, SourceId::Receiver1},
    {"Receiver 2 at the same epoch", ReferenceKind::Source, SourceId::Receiver2},
    {"Own fix at the same epoch", ReferenceKind::Source, SourceId::Own},
    {"Truth file", ReferenceKind::Truth, SourceId::Receiver1},
}};

QString Label(SourceId source)
{
    return QString::fromLatin1(SourceLabel(source).data(), static_cast<qsizetype>(SourceLabel(source).size()));
}

QString Seconds(double s)
{
    return QString::number(s, 'f', 1) + QStringLiteral(" s");
}
}  // namespace

// The drawing: painted into a backing image when the figures changed, shown as is when frozen. A
// day of epochs takes milliseconds to draw, so it is redrawn at most once a second; the table and
// the texts follow every report.
class CStatisticsCanvas final : public QWidget
{
public:
    explicit CStatisticsCanvas(QWidget* parent) : QWidget(parent)
    {
        setMinimumSize(360, 180);
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_throttle.setSingleShot(true);
        QObject::connect(&m_throttle, &QTimer::timeout, this, [this] { update(); });
        m_sinceRender.start();
    }
    void Show(const CAccuracyWorkbench* workbench, const statistics::Tables& tables, const statistics::Shown& shown)
    {
        m_workbench = workbench;
        m_tables = tables;
        m_shown = shown;
        m_dirty = true;
        if (m_throttle.isActive())
            return;
        const qint64 wait = kRedrawMs - m_sinceRender.elapsed();
        if (wait > 0)
            m_throttle.start(static_cast<int>(wait));
        else
            update();
    }
    [[nodiscard]] QImage Render(QSize size) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        if (m_workbench)
            statistics::PaintStatistics(image, *m_workbench, m_tables, m_shown);
        return image;
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        if (m_dirty || m_image.size() != size())
        {
            m_image = Render(size());
            m_dirty = false;
            m_sinceRender.restart();
        }
        QPainter(this).drawImage(0, 0, m_image);
    }

private:
    static constexpr qint64 kRedrawMs = 1000;
    QTimer m_throttle;
    QElapsedTimer m_sinceRender;
    const CAccuracyWorkbench* m_workbench = nullptr;
    statistics::Tables m_tables{};
    statistics::Shown m_shown{};
    QImage m_image;
    bool m_dirty = true;
};

CStatisticsView::CStatisticsView(QWidget* parent) : CViewBase(kViewStatistics, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout();
    layout->addLayout(bar);
    bar->addWidget(new QLabel(QStringLiteral("Reference:"), this));
    m_reference = new QComboBox(this);
    m_reference->setObjectName(QStringLiteral("reference"));
    for (const ReferenceEntry& e : kReferences)
        m_reference->addItem(QString::fromLatin1(e.text));
    bar->addWidget(m_reference);
    m_position = new QPushButton(QStringLiteral("Position..."), this);
    m_position->setObjectName(QStringLiteral("position"));
    bar->addWidget(m_position);
    m_truth = new QPushButton(QStringLiteral("Truth File..."), this);
    m_truth->setObjectName(QStringLiteral("truthFile"));
    bar->addWidget(m_truth);
    bar->addStretch(1);
    auto* reset = new QPushButton(QStringLiteral("Reset"), this);
    reset->setObjectName(QStringLiteral("reset"));
    bar->addWidget(reset);
    m_freeze = new QPushButton(QStringLiteral("Freeze"), this);
    m_freeze->setObjectName(QStringLiteral("freeze"));
    m_freeze->setCheckable(true);
    bar->addWidget(m_freeze);
    auto* copy = new QPushButton(QStringLiteral("Copy Table"), this);
    copy->setObjectName(QStringLiteral("copyTable"));
    bar->addWidget(copy);

    m_canvas = new CStatisticsCanvas(this);
    m_canvas->setObjectName(QStringLiteral("statisticsDrawing"));
    layout->addWidget(m_canvas, 1);

    const auto& columns = TableColumns();
    m_table = new QTableWidget(static_cast<int>(kSourceCount), static_cast<int>(columns.size()), this);
    m_table->setObjectName(QStringLiteral("statisticsTable"));
    QStringList headers;
    for (const std::string_view c : columns)
        headers << QString::fromLatin1(c.data(), static_cast<qsizetype>(c.size()));
    m_table->setHorizontalHeaderLabels(headers);
    QStringList rows;
    for (const SourceId s : kAllSources)
        rows << Label(s);
    m_table->setVerticalHeaderLabels(rows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < m_table->rowCount(); ++r)
        for (int c = 0; c < m_table->columnCount(); ++c)
        {
            auto* item = new QTableWidgetItem();
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, c, item);
        }
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->setFixedHeight(m_table->horizontalHeader()->sizeHint().height() +
                            static_cast<int>(kSourceCount) * m_table->verticalHeader()->defaultSectionSize() + 24);
    layout->addWidget(m_table);

    m_ttff = new QLabel(this);
    m_ttff->setObjectName(QStringLiteral("ttff"));
    m_ttff->setWordWrap(true);
    layout->addWidget(m_ttff);

    const QString definitions = statistics::Definitions();
    setToolTip(definitions);
    m_table->setToolTip(definitions);
    m_canvas->setToolTip(definitions);

    connect(m_reference, &QComboBox::activated, this, [this](int index) { ChooseReference(index); });
    connect(m_position, &QPushButton::clicked, this, [this] { EditPosition(); });
    connect(m_truth, &QPushButton::clicked, this, [this] { ChooseTruthFile(); });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (m_hub)
            m_hub->Reset();
    });
    connect(m_freeze, &QPushButton::toggled, this, [this](bool on) { SetFrozen(on); });
    connect(copy, &QPushButton::clicked, this, [this] { CopyTable(); });
    setAutoFillBackground(true);
}

CStatisticsView::~CStatisticsView()
{
    if (m_frame)
        SaveWindowPlacement(*m_frame, kPlacementSection);
}

unsigned CStatisticsView::GoneCode() const
{
    return kMsgStatisticsGone;
}

void CStatisticsView::AttachHub(CAccuracyHub& hub)
{
    m_hub = &hub;
    connect(&hub, &CAccuracyHub::Changed, this, &CStatisticsView::Refresh);
    m_reference->setCurrentIndex(ReferenceIndex(hub.Reference()));
    Refresh();
}

void CStatisticsView::OnInitialUpdate()
{
    SetFrameTitle(QStringLiteral("Statistics View"));
    m_frame = parentWidget();
    CViewBase::OnInitialUpdate();
}

void CStatisticsView::OnUpdate(int /*hint*/, const CData* /*object*/)
{
    // The records reach the view through the workbench; the hints change nothing here.
}

int CStatisticsView::ReferenceIndex(const ReferenceChoice& choice)
{
    for (std::size_t i = 0; i < kReferences.size(); ++i)
    {
        const ReferenceEntry& e = kReferences[i];
        const bool sourceMatters = e.kind == ReferenceKind::SourceMean || e.kind == ReferenceKind::Source;
        if (e.kind == choice.kind && (!sourceMatters || e.source == choice.source))
            return static_cast<int>(i);
    }
    return 0;
}

ReferenceChoice CStatisticsView::ReferenceFromIndex(int index, const ReferenceChoice& current)
{
    ReferenceChoice choice = current;  // keeps the typed position
    const ReferenceEntry& e = kReferences[static_cast<std::size_t>(std::clamp<int>(index, 0, kReferences.size() - 1))];
    choice.kind = e.kind;
    choice.source = e.source;
    return choice;
}

void CStatisticsView::ChooseReference(int index)
{
    if (!m_hub)
        return;
    m_reference->setCurrentIndex(index);
    const ReferenceChoice choice = ReferenceFromIndex(index, m_hub->Reference());
    if (choice.kind == ReferenceKind::Truth && m_hub->Workbench().Truth() == nullptr)
        ChooseTruthFile();
    m_hub->SetReference(choice);
    UpdateButtons();
}

void CStatisticsView::EditPosition()
{
    if (!m_hub)
        return;
    CReferencePositionDlg dialog(this);
    const ReferenceChoice current = m_hub->Reference();
    dialog.SetPosition(current.latitudeDeg, current.longitudeDeg, current.heightM);
    const int result = m_runDialog ? m_runDialog(dialog) : dialog.DoModal();
    if (result != kIdOk)
        return;
    ReferenceChoice choice = current;
    choice.kind = ReferenceKind::Position;
    choice.latitudeDeg = dialog.LatitudeDeg();
    choice.longitudeDeg = dialog.LongitudeDeg();
    choice.heightM = dialog.HeightM();
    m_hub->SetReference(choice);
    m_reference->setCurrentIndex(ReferenceIndex(choice));
    UpdateButtons();
}

void CStatisticsView::ChooseTruthFile()
{
    if (!m_hub)
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Truth File");
    request.initialName = m_hub->TruthPath();
    request.filter = QStringLiteral("Truth files (*.csv);;All files (*)");
    const std::optional<QString> path = AskFileName(this, request);
    if (!path || path->isEmpty())
        return;
    QString error;
    if (!m_hub->LoadTruth(*path, error))
    {
        ShowMessage(this, error);
        return;
    }
    ReferenceChoice choice = m_hub->Reference();
    choice.kind = ReferenceKind::Truth;
    m_hub->SetReference(choice);
    m_reference->setCurrentIndex(ReferenceIndex(choice));
    UpdateButtons();
}

void CStatisticsView::UpdateButtons()
{
    const ReferenceKind kind = m_hub ? m_hub->Reference().kind : ReferenceKind::OwnMean;
    m_position->setEnabled(kind == ReferenceKind::Position);
    m_truth->setEnabled(kind == ReferenceKind::Truth);
}

std::array<bool, kSourceCount> CStatisticsView::Shown() const
{
    std::array<bool, kSourceCount> shown{};
    if (m_hub)
        for (const SourceId s : kAllSources)
            shown[Index(s)] = !m_hub->Workbench().Series(s).Empty();
    return shown;
}

void CStatisticsView::Refresh()
{
    UpdateButtons();
    if (m_frozen || !m_hub)
        return;
    const CAccuracyWorkbench& bench = m_hub->Workbench();
    for (const SourceId s : kAllSources)
        m_tables[Index(s)] = bench.Table(s);
    const auto shown = Shown();
    for (std::size_t r = 0; r < kSourceCount; ++r)
        for (std::size_t c = 0; c < TableColumns().size(); ++c)
        {
            QTableWidgetItem* item = m_table->item(static_cast<int>(r), static_cast<int>(c));
            const QString text = shown[r] ? statistics::CellText(m_tables[r], c) : QString();
            if (item->text() != text)
                item->setText(text);
        }
    m_ttff->setText(TtffSummary());
    m_canvas->Show(&bench, m_tables, shown);
}

void CStatisticsView::SetFrozen(bool frozen)
{
    m_frozen = frozen;
    if (m_freeze->isChecked() != frozen)
        m_freeze->setChecked(frozen);
    if (!frozen)
        Refresh();
}

QString CStatisticsView::TableText() const
{
    std::vector<std::pair<std::string, AccuracyTable>> rows;
    const auto shown = Shown();
    for (const SourceId s : kAllSources)
        rows.emplace_back(std::string(SourceLabel(s)), shown[Index(s)] ? m_tables[Index(s)] : AccuracyTable{});
    return QString::fromStdString(FormatTableTsv(rows));
}

void CStatisticsView::CopyTable()
{
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setText(TableText());
}

QImage CStatisticsView::Drawing(QSize size) const
{
    return m_canvas->Render(size);
}

QString CStatisticsView::TtffSummary() const
{
    if (!m_hub)
        return {};
    QStringList parts;
    const double now = CAccuracyHub::Now();
    for (const SourceId s : kAllSources)
    {
        const auto& state = m_hub->Meter().State(s);
        QString text = Label(s) + QStringLiteral(": ");
        if (state.waiting)
            text += QStringLiteral("waiting %1 (%2 start)")
                        .arg(Seconds(now - state.commandAt), QString::fromLatin1(StartModeName(state.startMode).data()));
        else if (state.lastTtffS)
            text += QStringLiteral("%1 (%2 start)")
                        .arg(Seconds(*state.lastTtffS), QString::fromLatin1(StartModeName(state.lastStartMode).data()));
        else
            text += QStringLiteral("\u2014");
        parts << text;
    }
    QString summary = QStringLiteral("Time to first fix: ") + parts.join(QStringLiteral(";  "));
    const CTtffCampaign& campaign = m_hub->Campaign();
    if (campaign.RunsDone() > 0 || campaign.Running())
    {
        QStringList lines;
        for (const SourceId s : kAllSources)
        {
            const vrn::analysis::TtffSummary t = campaign.Summary(s);
            if (t.runs == 0)
                continue;
            QString line = Label(s) + QStringLiteral(": ");
            if (t.runs > t.failures)
                line += QStringLiteral("min %1, median %2, max %3").arg(Seconds(t.minS), Seconds(t.medianS), Seconds(t.maxS));
            if (t.failures > 0)
                line += QStringLiteral("%1%2 without a fix").arg(t.runs > t.failures ? QStringLiteral(", ") : QString()).arg(t.failures);
            lines << line;
        }
        summary += QStringLiteral("\nTTFF campaign, %1 start, %2 of %3 starts%4: ")
                       .arg(QString::fromLatin1(StartModeName(campaign.Settings().startMode).data()))
                       .arg(campaign.RunsDone())
                       .arg(campaign.Settings().runs)
                       .arg(campaign.Running() ? QStringLiteral(" (running)") : QString()) +
                   lines.join(QStringLiteral(";  "));
    }
    return summary;
}

void CStatisticsView::showEvent(QShowEvent* event)
{
    CViewBase::showEvent(event);
    if (m_restorePlacement && parentWidget() != nullptr)
    {
        m_restorePlacement = false;
        RestoreWindowPlacement(*parentWidget(), kPlacementSection);
    }
}

void CStatisticsView::hideEvent(QHideEvent* event)
{
    CViewBase::hideEvent(event);
    m_restorePlacement = true;
}
}  // namespace vrn::gui
