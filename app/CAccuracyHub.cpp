// The program's accuracy workbench; see the header.
#include "app/CAccuracyHub.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include "config/CAppSettings.h"

namespace vrn::gui
{
namespace
{
using namespace vrn::analysis;

constexpr const char* kSection = "Statistics View";
constexpr int kCampaignPollMs = 500;

SourceId SourceOf(int source)
{
    switch (source)
    {
        case vrn::kFixReceiver2:
            return SourceId::Receiver2;
        case vrn::kFixOwn:
            return SourceId::Own;
        default:
            return SourceId::Receiver1;
    }
}

std::string Real(double value, int decimals)
{
    return QString::number(value, 'f', decimals).toStdString();
}
}  // namespace

// The readers' side of the hub: each report is queued to the UI thread while the hub exists.
class CFixHandle final : public vrn::IFixHandle
{
public:
    explicit CFixHandle(CAccuracyHub* hub) : m_hub(hub) {}

    void PostFix(const vrn::FixDelivery& delivery) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_hub)
            return;
        CAccuracyHub* hub = m_hub;
        QMetaObject::invokeMethod(
            hub,
            [hub, delivery] {
                if (delivery.Current())
                    hub->OnFix(delivery.source, delivery.fix, delivery.arrivalS);
            },
            Qt::QueuedConnection);
    }

    void Detach()
    {
        std::lock_guard lock(m_mutex);
        m_hub = nullptr;
    }

private:
    std::mutex m_mutex;
    CAccuracyHub* m_hub;
};

CAccuracyHub::CAccuracyHub(std::size_t capacity, QObject* parent)
    : QObject(parent), m_workbench(capacity), m_handle(std::make_shared<CFixHandle>(this))
{
    m_campaignTimer = new QTimer(this);
    m_campaignTimer->setInterval(kCampaignPollMs);
    connect(m_campaignTimer, &QTimer::timeout, this, [this] { PollCampaign(Now()); });
}

CAccuracyHub::~CAccuracyHub()
{
    m_handle->Detach();
}

std::shared_ptr<vrn::IFixHandle> CAccuracyHub::Handle() const
{
    return m_handle;
}

double CAccuracyHub::Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CAccuracyHub::OnFix(int source, const ReceiverFix& fix, double arrivalS)
{
    const SourceId id = SourceOf(source);
    m_meter.OnReport(id, CEpochBuilder::HasFixNow(fix), arrivalS);
    if (id == SourceId::Own)
    {
        m_workbench.AddEpoch(id, CEpochBuilder::FromFix(fix));
    }
    else if (auto epoch = m_builders[Index(id)].Offer(fix))
    {
        m_workbench.AddEpoch(id, *epoch);
    }
    m_workbench.Refresh();
    if (m_campaign.Running())
        PollCampaign(arrivalS);
    Q_EMIT Changed();
}

void CAccuracyHub::SetReference(const ReferenceChoice& choice)
{
    m_workbench.SetReference(choice);
    (void)CAppSettings::WriteProfileValues(
        kSection, {{"Reference", std::to_string(static_cast<int>(choice.kind))},
                   {"Reference Source", std::to_string(static_cast<int>(choice.source))},
                   {"Reference Latitude", Real(choice.latitudeDeg, 9)},
                   {"Reference Longitude", Real(choice.longitudeDeg, 9)},
                   {"Reference Height", Real(choice.heightM, 3)}});
    Q_EMIT Changed();
}

bool CAccuracyHub::LoadTruth(const QString& path, QString& error)
{
    std::string reason;
    auto table = CTruthTable::Load(path.toStdString(), reason);
    if (!table)
    {
        error = QString::fromStdString(reason);
        return false;
    }
    m_workbench.SetTruth(std::make_shared<const CTruthTable>(std::move(*table)));
    m_truthPath = path;
    (void)CAppSettings::WriteProfileText(kSection, "Truth File", path.toStdString());
    Q_EMIT Changed();
    return true;
}

void CAccuracyHub::LoadSettings()
{
    ReferenceChoice choice;
    const int kind = CAppSettings::ReadProfileInt(kSection, "Reference", 0);
    const int source = CAppSettings::ReadProfileInt(kSection, "Reference Source", 0);
    choice.kind = kind >= 0 && kind <= static_cast<int>(ReferenceKind::Truth) ? static_cast<ReferenceKind>(kind)
                                                                              : ReferenceKind::OwnMean;
    choice.source = source >= 0 && source < static_cast<int>(kSourceCount) ? static_cast<SourceId>(source)
                                                                           : SourceId::Receiver1;
    auto real = [](const char* key) {
        const std::string text = CAppSettings::ReadProfileText(kSection, key, "0");
        bool ok = false;
        const double v = QString::fromStdString(text).trimmed().toDouble(&ok);
        return ok && std::isfinite(v) ? v : 0.0;
    };
    choice.latitudeDeg = std::clamp(real("Reference Latitude"), -90.0, 90.0);
    choice.longitudeDeg = std::clamp(real("Reference Longitude"), -180.0, 180.0);
    choice.heightM = real("Reference Height");
    m_workbench.SetReference(choice);
    const QString truth = QString::fromStdString(CAppSettings::ReadProfileText(kSection, "Truth File", ""));
    QString error;
    if (!truth.isEmpty())
        (void)LoadTruth(truth, error);  // a file gone since: the truth reference shows no epochs
    Q_EMIT Changed();
}

void CAccuracyHub::Reset()
{
    m_workbench.Reset();
    for (auto& b : m_builders)
        b.Reset();
    m_meter.Reset();
    Q_EMIT Changed();
}

void CAccuracyHub::CommandSent(int port, int startMode)
{
    m_meter.CommandSent(port, startMode, Now());
    Q_EMIT Changed();
}

void CAccuracyHub::PortStopped(int port)
{
    m_meter.Cancel(port);
    // The receiver's last epoch is complete: no report of it can follow.
    const SourceId receiver = port == 0 ? SourceId::Receiver1 : SourceId::Receiver2;
    if (auto epoch = m_builders[Index(receiver)].Flush())
        m_workbench.AddEpoch(receiver, *epoch);
    m_builders[Index(receiver)].Reset();  // the next start numbers its reports afresh
    if (m_campaign.Running() && m_campaign.Settings().port == port)
        StopCampaign();
    Q_EMIT Changed();
}

void CAccuracyHub::PlaybackRestarted(int port)
{
    m_meter.Cancel(port);
    const SourceId receiver = port == 0 ? SourceId::Receiver1 : SourceId::Receiver2;
    m_builders[Index(receiver)].Reset();
    m_workbench.Reset(receiver);
    if (port == 0)
        m_workbench.Reset(SourceId::Own);
    Q_EMIT Changed();
}

void CAccuracyHub::StartCampaign(const CampaignSettings& settings, std::function<bool(int, int)> sendStart)
{
    m_sendStart = std::move(sendStart);
    m_campaign.Start(settings, Now());
    m_campaignTimer->start();
    PollCampaign(Now());
}

void CAccuracyHub::StopCampaign()
{
    m_campaign.Stop();
    m_campaignTimer->stop();
    Q_EMIT Changed();
}

void CAccuracyHub::PollCampaign(double now)
{
    switch (m_campaign.Poll(m_meter, now))
    {
        case CTtffCampaign::Step::SendStart:
        {
            const CampaignSettings& s = m_campaign.Settings();
            if (!m_sendStart || !m_sendStart(s.port, s.startMode))
            {
                StopCampaign();
                return;
            }
            m_meter.CommandSent(s.port, s.startMode, now);
            m_campaign.Started(m_meter, now);
            Q_EMIT Changed();
            break;
        }
        case CTtffCampaign::Step::Finished:
            m_campaignTimer->stop();
            Q_EMIT Changed();
            Q_EMIT CampaignFinished();
            break;
        case CTtffCampaign::Step::Nothing:
            break;
    }
}
}  // namespace vrn::gui
