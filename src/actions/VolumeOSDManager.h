#pragma once

#include "actions/VolumeOSDView.h"

#include <functional>
#include <QObject>
#include <QPointer>
#include <QRect>

class QTimer;

struct VolumeOSDTimings
{
    int hideAfterMs = 1350;    // after the last show
    int fadeMs = 220;          // ease-out of the card
    int orderOutAfterMs = 250; // window hidden this long after the fade starts
    int appearMs = 200;        // spring-like grow-in
};

// The on-screen volume indicator: state, placement and timing. The window is
// made on the first show and kept; it never takes focus or pointer input.
class VolumeOSDManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(float volume READ volume NOTIFY volumeChanged)
    Q_PROPERTY(bool isMuted READ isMuted NOTIFY isMutedChanged)
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY isVisibleChanged)
public:
    using Timings = VolumeOSDTimings;

    static constexpr int kPanelWidth = 200;
    static constexpr int kPanelHeight = 190;
    static constexpr int kBottomOffset = 120;

    explicit VolumeOSDManager(Timings timings = {}, std::function<bool()> isCompositing = {},
                              QObject* parent = nullptr);
    ~VolumeOSDManager() override;

    static VolumeOSDManager& shared();

    float volume() const { return m_volume; }
    bool isMuted() const { return m_isMuted; }
    bool isVisible() const { return m_isVisible; }
    const Timings& timings() const { return m_timings; }

    void show(float volume, bool isMuted);
    void dismiss();

    // The indicator window; null before the first show.
    VolumeOSDView* panel() const { return m_panel; }
    // The window is on screen (not yet ordered out).
    bool isPanelShown() const;

    // Centred, kBottomOffset above the bottom of the available area (y down).
    static QRect panelGeometry(const QRect& availableGeometry);

Q_SIGNALS:
    void volumeChanged();
    void isMutedChanged();
    void isVisibleChanged();
    void panelOrderedOut();

private:
    void setupPanel();
    void setVisibleState(bool visible);

    Timings m_timings;
    std::function<bool()> m_isCompositing;
    float m_volume = 0.5f;
    bool m_isMuted = false;
    bool m_isVisible = false;
    QPointer<VolumeOSDView> m_panel;
    QTimer* m_dismissTimer = nullptr;
};
