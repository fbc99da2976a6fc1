#include "actions/VolumeOSDManager.h"

#include "actions/VolumeOSDView.h"
#include "platform/Platform.h"

#include <algorithm>
#include <QCursor>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>

Q_LOGGING_CATEGORY(lcVolumeOsd, "rondix.volumeosd")

VolumeOSDManager::VolumeOSDManager(Timings timings, std::function<bool()> isCompositing, QObject* parent)
    : QObject(parent)
    , m_timings(timings)
    , m_isCompositing(std::move(isCompositing))
{
    m_dismissTimer = new QTimer(this);
    m_dismissTimer->setSingleShot(true);
    connect(m_dismissTimer, &QTimer::timeout, this, &VolumeOSDManager::dismiss);
}

VolumeOSDManager::~VolumeOSDManager()
{
    delete m_panel;
}

VolumeOSDManager& VolumeOSDManager::shared()
{
    static VolumeOSDManager* instance = new VolumeOSDManager(
        {},
        [] {
            WindowSystem* ws = Platform::instance().windows;
            return !ws || ws->isCompositing();
        },
        nullptr); // lives until the process ends
    return *instance;
}

QRect VolumeOSDManager::panelGeometry(const QRect& v)
{
    const int x = v.x() + v.width() / 2 - kPanelWidth / 2;
    const int y = v.y() + v.height() - kBottomOffset - kPanelHeight;
    return {x, y, kPanelWidth, kPanelHeight};
}

bool VolumeOSDManager::isPanelShown() const
{
    return m_panel && m_panel->isVisible();
}

void VolumeOSDManager::setVisibleState(bool visible)
{
    if (m_isVisible == visible)
        return;
    m_isVisible = visible;
    Q_EMIT isVisibleChanged();
}

void VolumeOSDManager::setupPanel()
{
    const bool compositing = !m_isCompositing || m_isCompositing();
    m_panel = new VolumeOSDView(this, compositing);
}

void VolumeOSDManager::show(float volume, bool isMuted)
{
    const float clamped = std::max(std::min(volume, 1.0f), 0.0f);
    if (clamped != m_volume) {
        m_volume = clamped;
        Q_EMIT volumeChanged();
    }
    if (isMuted != m_isMuted) {
        m_isMuted = isMuted;
        Q_EMIT isMutedChanged();
    }

    if (!m_panel)
        setupPanel();
    if (!m_panel)
        return;

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        m_panel->setGeometry(panelGeometry(screen->availableGeometry()));
    m_panel->update();
    if (!m_panel->isVisible())
        m_panel->show();
    m_panel->raise();

    setVisibleState(true);

    // Restart: the indicator hides a fixed time after the last change.
    m_dismissTimer->start(m_timings.hideAfterMs);
}

void VolumeOSDManager::dismiss()
{
    m_dismissTimer->stop();
    setVisibleState(false);
    // Not cancellable; a show during the fade sets isVisible again and wins.
    QTimer::singleShot(m_timings.orderOutAfterMs, this, [this] {
        if (m_isVisible || !m_panel || !m_panel->isVisible())
            return;
        m_panel->hide();
        qCDebug(lcVolumeOsd) << "ordered out";
        Q_EMIT panelOrderedOut();
    });
}
