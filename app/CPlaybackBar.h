// The playback toolbar, shown under the main toolbar while a port plays a recording: play/pause,
// single step, stop, the speed, and a seek slider with the recording's time and progress. It asks
// for the player at each refresh (the port owns it and it goes when the port stops), so it never
// keeps a pointer to a player that is gone. UI thread only.
#pragma once

#include <QToolBar>
#include <cstdint>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QSlider;

namespace vrn
{
class CRecordingPlayer;
}

namespace vrn::gui
{
class CPlaybackBar : public QToolBar
{
    Q_OBJECT
public:
    using PlayerSource = std::function<vrn::CRecordingPlayer*()>;
    // `player` gives the player of the port that plays (null when none); `stop` stops that port.
    CPlaybackBar(PlayerSource player, std::function<void()> stop, QWidget* parent = nullptr);

    // Shows the bar and the player's state, or hides it when no port plays.
    void Refresh();

    // The controls, as the user works them.
    void TogglePlaying();
    void StepEpoch();
    void SetSpeedIndex(int index);  // into kPlaybackSpeeds
    void SeekTo(std::uint64_t micros);

    [[nodiscard]] QAction* PlayAction() const { return m_play; }
    [[nodiscard]] QComboBox* SpeedBox() const { return m_speed; }
    [[nodiscard]] QSlider* Slider() const { return m_slider; }
    [[nodiscard]] QString TimeText() const;

    // "m:ss" or "h:mm:ss".
    static QString FormatTime(std::uint64_t micros);

private:
    void SliderReleased();

    PlayerSource m_player;
    std::function<void()> m_stop;
    QAction* m_play = nullptr;
    QAction* m_step = nullptr;
    QAction* m_stopAction = nullptr;
    QComboBox* m_speed = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_time = nullptr;
};
}  // namespace vrn::gui
