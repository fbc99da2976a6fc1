#pragma once

#include <QWidget>

class QVariantAnimation;
class VolumeOSDManager;

// Draws the volume indicator card for the manager's state. A frameless window
// above everything that takes neither focus nor pointer input.
class VolumeOSDView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSegments = 16;

    VolumeOSDView(VolumeOSDManager* manager, bool translucent, QWidget* parent = nullptr);

    QString speakerIconName() const;
    // 0 (hidden) ... 1 (shown); drives the card's scale and opacity.
    double progress() const { return m_progress; }

    static QString speakerIconName(bool muted, float volume);
    static int litSegments(float volume);
    static QString percentText(float volume);
    // Card scale for an animation progress: 0.88 hidden, 1.0 shown.
    static double cardScale(double progress);

    // Dark card (the default) or light card, after the stored theme and the
    // desktop's preference; followed while the indicator is on screen.
    bool isDarkMode() const { return m_dark; }
    void refreshTheme();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void animateTo(bool visible);

    VolumeOSDManager* m_manager;
    QVariantAnimation* m_animation;
    double m_progress = 0.0;
    bool m_dark = true;
};
