// Playback toolbar; see the header.
#include "app/CPlaybackBar.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <algorithm>

#include "link/RecordingPlayer.h"
#include "res/MenuResources.h"

namespace vrn::gui
{
namespace
{
constexpr int kSliderSteps = 1000;

QString SpeedText(int factor)
{
    return factor == 0 ? QStringLiteral("Max") : QStringLiteral("x%1").arg(factor);
}

QString Tip(int id)
{
    const std::string_view tip = res::CommandToolTip(id);
    return QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size()));
}
}  // namespace

CPlaybackBar::CPlaybackBar(PlayerSource player, std::function<void()> stop, QWidget* parent)
    : QToolBar(QStringLiteral("Playback"), parent), m_player(std::move(player)), m_stop(std::move(stop))
{
    setObjectName(QStringLiteral("playbackBar"));
    setMovable(false);
    m_play = addAction(style()->standardIcon(QStyle::SP_MediaPause), Tip(res::kIdPlaybackPlay));
    m_play->setObjectName(QStringLiteral("playbackPlay"));
    connect(m_play, &QAction::triggered, this, &CPlaybackBar::TogglePlaying);
    m_step = addAction(style()->standardIcon(QStyle::SP_MediaSkipForward), Tip(res::kIdPlaybackStep));
    m_step->setObjectName(QStringLiteral("playbackStep"));
    connect(m_step, &QAction::triggered, this, &CPlaybackBar::StepEpoch);
    m_stopAction = addAction(style()->standardIcon(QStyle::SP_MediaStop), Tip(res::kIdPlaybackStop));
    m_stopAction->setObjectName(QStringLiteral("playbackStop"));
    connect(m_stopAction, &QAction::triggered, this, [this] {
        if (m_stop)
            m_stop();
    });
    addSeparator();
    m_speed = new QComboBox(this);
    m_speed->setObjectName(QStringLiteral("playbackSpeed"));
    for (const int factor : vrn::kPlaybackSpeeds)
        m_speed->addItem(SpeedText(factor), factor);
    m_speed->setToolTip(QStringLiteral("Playback speed"));
    connect(m_speed, &QComboBox::activated, this, &CPlaybackBar::SetSpeedIndex);
    addWidget(m_speed);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("playbackSlider"));
    m_slider->setRange(0, kSliderSteps);
    m_slider->setMinimumWidth(240);
    m_slider->setToolTip(QStringLiteral("Position in the recording"));
    connect(m_slider, &QSlider::sliderReleased, this, &CPlaybackBar::SliderReleased);
    connect(m_slider, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks beside the handle and keys jump at once; a drag seeks when it is released.
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            QMetaObject::invokeMethod(this, &CPlaybackBar::SliderReleased, Qt::QueuedConnection);
    });
    addWidget(m_slider);
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("playbackTime"));
    m_time->setMinimumWidth(150);
    addWidget(m_time);
    hide();
}

QString CPlaybackBar::FormatTime(std::uint64_t micros)
{
    const std::uint64_t seconds = micros / 1'000'000;
    const std::uint64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString CPlaybackBar::TimeText() const { return m_time->text(); }

void CPlaybackBar::Refresh()
{
    vrn::CRecordingPlayer* player = m_player ? m_player() : nullptr;
    if (player == nullptr)
    {
        if (isVisible())
            hide();
        return;
    }
    if (isHidden())
        show();
    const bool playing = player->Playing() && !player->AtEnd();
    m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_step->setEnabled(!player->AtEnd());
    const auto speedIndex = m_speed->findData(player->Speed());
    if (speedIndex >= 0 && speedIndex != m_speed->currentIndex() && !m_speed->view()->isVisible())
        m_speed->setCurrentIndex(speedIndex);
    const std::uint64_t duration = player->DurationUs();
    const std::uint64_t position = player->PositionUs();
    if (!m_slider->isSliderDown())
    {
        const double share = duration > 0 ? static_cast<double>(position) / static_cast<double>(duration)
                                           : (player->AtEnd() ? 1.0 : 0.0);
        const QSignalBlocker block(m_slider);
        m_slider->setValue(static_cast<int>(share * kSliderSteps + 0.5));
    }
    const int percent = player->Size() > 0 ? static_cast<int>(100 * player->BytesPlayed() / player->Size()) : 100;
    m_time->setText(QStringLiteral("%1 / %2  (%3%)").arg(FormatTime(position), FormatTime(duration)).arg(percent));
}

void CPlaybackBar::TogglePlaying()
{
    if (vrn::CRecordingPlayer* player = m_player ? m_player() : nullptr)
        player->SetPlaying(!player->Playing());
    Refresh();
}

void CPlaybackBar::StepEpoch()
{
    if (vrn::CRecordingPlayer* player = m_player ? m_player() : nullptr)
        player->Step();
    Refresh();
}

void CPlaybackBar::SetSpeedIndex(int index)
{
    vrn::CRecordingPlayer* player = m_player ? m_player() : nullptr;
    if (player != nullptr && index >= 0 && index < static_cast<int>(vrn::kPlaybackSpeeds.size()))
        player->SetSpeed(vrn::kPlaybackSpeeds[static_cast<std::size_t>(index)]);
    Refresh();
}

void CPlaybackBar::SeekTo(std::uint64_t micros)
{
    if (vrn::CRecordingPlayer* player = m_player ? m_player() : nullptr)
        player->Seek(micros);
    Refresh();
}

void CPlaybackBar::SliderReleased()
{
    vrn::CRecordingPlayer* player = m_player ? m_player() : nullptr;
    if (player == nullptr)
        return;
    const double share = static_cast<double>(m_slider->sliderPosition()) / kSliderSteps;
    SeekTo(static_cast<std::uint64_t>(share * static_cast<double>(player->DurationUs())));
}
}  // namespace vrn::gui
