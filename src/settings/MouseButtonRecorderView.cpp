#include "settings/MouseButtonRecorderView.h"

#include "hud/SoundFeedback.h"
#include "l10n/L10n.h"
#include "platform/Platform.h"
#include "settings/SettingsStyle.h"
#include "settings/TriggerRecorders.h"
#include "shell/MouseTriggerManager.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

using SettingsStyle::text;

MouseButtonRecorderView::MouseButtonRecorderView(QWidget* parent)
    : MouseButtonRecorderView(&MouseTriggerManager::shared(), Platform::instance().input, parent)
{}

MouseButtonRecorderView::MouseButtonRecorderView(MouseTriggerManager* manager, InputMonitor* input,
                                                 QWidget* parent)
    : QWidget(parent)
    , m_manager(manager)
    , m_recorder(new MouseButtonRecorder(manager, input, [] { SoundFeedback::shared().playTrigger(); }, this))
{
    setObjectName(QStringLiteral("mouseRecorder"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addStretch(1);

    m_main = new QPushButton(this);
    m_main->setObjectName(QStringLiteral("mouseRecord"));
    m_main->setIconSize(QSize(16, 16));
    row->addWidget(m_main);

    m_clear = new QToolButton(this);
    m_clear->setObjectName(QStringLiteral("mouseClear"));
    m_clear->setAutoRaise(true);
    m_clear->setIconSize(QSize(16, 16));
    row->addWidget(m_clear);

    connect(m_main, &QPushButton::clicked, m_recorder, &MouseButtonRecorder::toggleRecording);
    connect(m_clear, &QToolButton::clicked, m_recorder, &MouseButtonRecorder::clear);
    connect(m_recorder, &MouseButtonRecorder::recordingChanged, this, [this](bool recording) {
        // Escape cancels wherever the focus is in Rondix's windows.
        if (recording && !m_filtering) {
            qApp->installEventFilter(this);
            m_filtering = true;
        } else if (!recording && m_filtering) {
            qApp->removeEventFilter(this);
            m_filtering = false;
        }
        refresh();
    });
    if (manager)
        connect(manager, &MouseTriggerManager::targetButtonNumberChanged, this, &MouseButtonRecorderView::refresh);
    connect(&L10n::shared(), &L10n::languageChanged, this, &MouseButtonRecorderView::refresh);
    refresh();
}

MouseButtonRecorderView::~MouseButtonRecorderView()
{
    disconnect(m_recorder, nullptr, this, nullptr);
    m_recorder->stopRecording();
    if (m_filtering)
        qApp->removeEventFilter(this);
}

bool MouseButtonRecorderView::isRecording() const
{
    return m_recorder->isRecording();
}

void MouseButtonRecorderView::startRecording()
{
    m_recorder->startRecording();
}

void MouseButtonRecorderView::stopRecording()
{
    m_recorder->stopRecording();
}

void MouseButtonRecorderView::refresh()
{
    const bool recording = m_recorder->isRecording();
    const bool configured = m_manager && m_manager->isConfigured();
    const QColor accent = SettingsStyle::accentColour(this);
    QString symbol = QStringLiteral("computermouse.fill");
    QColor colour = palette().color(QPalette::PlaceholderText);
    QString label;
    if (recording) {
        symbol = QStringLiteral("dot.radiowaves.left.and.right");
        colour = QColor(255, 59, 48);
        label = text("mouse.recording_prompt", "请按下鼠标任意按键... (Esc 取消)");
        SettingsStyle::setFontSize(m_main, 11, QFont::Bold);
    } else if (configured) {
        colour = accent;
        label = m_manager->displayButtonName();
        SettingsStyle::setFontSize(m_main, 11.5, QFont::DemiBold);
    } else {
        label = text("mouse.record_btn", "点击录制鼠标按键");
        SettingsStyle::setFontSize(m_main, 11);
    }
    m_main->setIcon(SettingsStyle::symbolIcon(symbol, colour));
    m_main->setText(label);
    m_main->setAccessibleName(configured && !recording ? text("general.trigger.mouse") + QStringLiteral(": ") + label
                                                       : label);
    m_main->setCheckable(true);
    m_main->setChecked(recording);

    m_clear->setVisible(configured && !recording);
    m_clear->setIcon(SettingsStyle::symbolIcon(QStringLiteral("xmark.circle.fill"),
                                               palette().color(QPalette::PlaceholderText)));
    m_clear->setToolTip(text("mouse.clear_help", "清除鼠标按键绑定"));
    m_clear->setAccessibleName(m_clear->toolTip());
    if (!m_clear->isVisible() && m_clear->hasFocus())
        m_main->setFocus(Qt::OtherFocusReason);
}

bool MouseButtonRecorderView::eventFilter(QObject* watched, QEvent* event)
{
    if (m_recorder->isRecording() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_recorder->stopRecording();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MouseButtonRecorderView::hideEvent(QHideEvent* event)
{
    // No raw button selection outlives the settings page.
    m_recorder->stopRecording();
    QWidget::hideEvent(event);
}
