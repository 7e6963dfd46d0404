// The program's accuracy workbench: it takes every fix report of both ports from the readers (whether
// or not the Statistics view is open), keeps the three sources' series and statistics, measures the
// time to first fix after a start command and runs the TTFF campaign. Owned by the main frame; UI
// thread only (the handle is what the readers call).
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "analysis/AccuracyWorkbench.h"
#include "analysis/TimeToFirstFix.h"
#include "link/ViewLinks.h"

class QTimer;

namespace vrn::gui
{
class CFixHandle;

class CAccuracyHub : public QObject
{
    Q_OBJECT
public:
    // `capacity` epochs per source.
    explicit CAccuracyHub(std::size_t capacity = vrn::analysis::kDefaultCapacity, QObject* parent = nullptr);
    ~CAccuracyHub() override;
    CAccuracyHub(const CAccuracyHub&) = delete;
    CAccuracyHub& operator=(const CAccuracyHub&) = delete;

    // What the ports' readers post their fix reports to.
    [[nodiscard]] std::shared_ptr<vrn::IFixHandle> Handle() const;

    // One fix report on the UI thread (what the handle queues): `source` kFixReceiver1, kFixReceiver2
    // or kFixOwn, `arrivalS` on the steady clock.
    void OnFix(int source, const ReceiverFix& fix, double arrivalS);

    [[nodiscard]] const vrn::analysis::CAccuracyWorkbench& Workbench() const { return m_workbench; }
    [[nodiscard]] const vrn::analysis::CTtffMeter& Meter() const { return m_meter; }
    [[nodiscard]] const vrn::analysis::CTtffCampaign& Campaign() const { return m_campaign; }

    // The reference; stored in the profile ("Statistics View").
    void SetReference(const vrn::analysis::ReferenceChoice& choice);
    [[nodiscard]] const vrn::analysis::ReferenceChoice& Reference() const { return m_workbench.Reference(); }
    // Loads a truth file for the truth reference; false and a reason when it cannot be read.
    bool LoadTruth(const QString& path, QString& error);
    [[nodiscard]] const QString& TruthPath() const { return m_truthPath; }
    // Reads the reference and the truth file named in the profile.
    void LoadSettings();

    // Forgets every epoch and the times to first fix.
    void Reset();

    // A start command with `startMode` (the command's byte, 0 none) went to port 0 or 1 just now.
    void CommandSent(int port, int startMode);
    void PortStopped(int port);
    // A recording that a port plays started over (a seek back): its sources forget their epochs.
    void PlaybackRestarted(int port);

    // Runs a campaign; `sendStart` sends the start command to the port with the given start mode
    // byte and returns whether it went out. The campaign stops when a start cannot be sent.
    void StartCampaign(const vrn::analysis::CampaignSettings& settings,
                       std::function<bool(int port, int startMode)> sendStart);
    void StopCampaign();
    // The campaign's next step at `now` (steady seconds); the timer calls it every half second.
    void PollCampaign(double now);

    // The steady clock in seconds (the readers stamp their reports with the same clock).
    static double Now();

Q_SIGNALS:
    // Tables, series or times to first fix changed.
    void Changed();
    void CampaignFinished();

private:
    vrn::analysis::CAccuracyWorkbench m_workbench;
    std::array<vrn::analysis::CEpochBuilder, 2> m_builders{};
    vrn::analysis::CTtffMeter m_meter;
    vrn::analysis::CTtffCampaign m_campaign;
    std::function<bool(int, int)> m_sendStart;
    QString m_truthPath;
    std::shared_ptr<CFixHandle> m_handle;
    QTimer* m_campaignTimer = nullptr;
};
}  // namespace vrn::gui
