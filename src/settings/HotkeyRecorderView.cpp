#include "settings/HotkeyRecorderView.h"

#include "l10n/L10n.h"
#include "model/KeyComboText.h"
#include "settings/SettingsStyle.h"
#include "settings/TriggerRecorders.h"
#include "shell/HotkeyManager.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

using SettingsStyle::text;

namespace {
QLabel* pill(const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setAutoFillBackground(true);
    return label;
}
} // namespace

HotkeyRecorderView::HotkeyRecorderView(QWidget* parent)
    : HotkeyRecorderView(&HotkeyManager::shared(), parent)
{}

HotkeyRecorderView::HotkeyRecorderView(HotkeyManager* manager, QWidget* parent)
    : QWidget(parent)
{
    m_recorder = new HotkeyRecorder(manager, this);
    setObjectName(QStringLiteral("hotkeyRecorder"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    m_notSet = pill(QStringLiteral("hotkeyNotSet"), this);
    m_notSet->setContentsMargins(8, 4, 8, 4);
    m_notSet->setBackgroundRole(QPalette::AlternateBase);
    SettingsStyle::setFontSize(m_notSet, 12);
    SettingsStyle::setSecondary(m_notSet);

    m_current = pill(QStringLiteral("hotkeyCurrent"), this);
    m_current->setContentsMargins(10, 4, 10, 4);
    m_current->setBackgroundRole(QPalette::Button);
    SettingsStyle::setFontSize(m_current, 13, QFont::DemiBold);

    m_prompt = pill(QStringLiteral("hotkeyPrompt"), this);
    m_prompt->setContentsMargins(10, 5, 10, 5);
    QPalette promptPalette = m_prompt->palette();
    QColor accent = promptPalette.color(QPalette::Highlight);
    accent.setAlphaF(0.12);
    promptPalette.setColor(QPalette::Window, accent);
    m_prompt->setPalette(promptPalette);

    m_record = new QPushButton(this);
    m_record->setObjectName(QStringLiteral("hotkeyRecord"));
    m_reRecord = new QPushButton(this);
    m_reRecord->setObjectName(QStringLiteral("hotkeyReRecord"));
    m_clear = new QPushButton(this);
    m_clear->setObjectName(QStringLiteral("hotkeyClear"));
    m_clear->setFlat(true);
    SettingsStyle::setFontSize(m_clear, 12);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("hotkeyCancel"));

    for (QWidget* w : {static_cast<QWidget*>(m_notSet), static_cast<QWidget*>(m_current),
                       static_cast<QWidget*>(m_prompt)})
        row->addWidget(w);
    row->addStretch(1);
    for (QPushButton* b : {m_record, m_reRecord, m_clear, m_cancel})
        row->addWidget(b);

    connect(m_record, &QPushButton::clicked, this, &HotkeyRecorderView::startRecording);
    connect(m_reRecord, &QPushButton::clicked, this, &HotkeyRecorderView::startRecording);
    connect(m_cancel, &QPushButton::clicked, this, &HotkeyRecorderView::stopRecording);
    connect(m_clear, &QPushButton::clicked, m_recorder, &HotkeyRecorder::clear);
    connect(m_recorder, &HotkeyRecorder::recordingChanged, this, [this](bool recording) {
        if (!recording)
            releaseGrab();
        refresh();
    });
    if (manager)
        connect(manager, &HotkeyManager::currentHotkeyChanged, this, &HotkeyRecorderView::refresh);
    connect(&L10n::shared(), &L10n::languageChanged, this, &HotkeyRecorderView::retranslate);
    retranslate();
}

HotkeyRecorderView::~HotkeyRecorderView()
{
    // The recorder outlives this part of the view by a moment: end the
    // recording while the view can still hear of it, then let the keyboard go.
    disconnect(m_recorder, nullptr, this, nullptr);
    m_recorder->stopRecording();
    releaseGrab();
}

bool HotkeyRecorderView::isRecording() const
{
    return m_recorder->isRecording();
}

void HotkeyRecorderView::retranslate()
{
    m_notSet->setText(text("hotkey.not_set", "未设置（默认不占用任何快捷键）"));
    m_prompt->setText(text("hotkey.recording_prompt", "请在键盘上按下你想要的组合键..."));
    m_record->setText(text("hotkey.record_btn", "录制快捷键..."));
    m_reRecord->setText(text("hotkey.re_record", "重新录制"));
    m_clear->setText(text("hotkey.clear", "清除"));
    m_clear->setToolTip(text("hotkey.clear_help", "清空快捷键，不设置任何按键"));
    m_clear->setAccessibleDescription(m_clear->toolTip());
    m_cancel->setText(text("common.cancel", "取消"));
    refresh();
}

void HotkeyRecorderView::refresh()
{
    const bool recording = m_recorder->isRecording();
    const std::optional<SavedHotkey> hotkey =
        m_recorder->manager() ? m_recorder->manager()->currentHotkey() : std::nullopt;
    // The focused button may be about to hide: keep the keyboard user in the row.
    const bool hadFocus = isAncestorOf(QApplication::focusWidget()) || hasFocus();
    if (hotkey) {
        const QString shown = KeyComboText::displayHotkey(hotkey->keyCode, hotkey->carbonModifiers);
        m_current->setText(shown);
        m_current->setAccessibleName(text("general.trigger.hotkey") + QStringLiteral(": ") + shown);
    }
    m_notSet->setVisible(!recording && !hotkey);
    m_record->setVisible(!recording && !hotkey);
    m_current->setVisible(!recording && hotkey);
    m_reRecord->setVisible(!recording && hotkey);
    m_clear->setVisible(!recording && hotkey);
    m_prompt->setVisible(recording);
    m_cancel->setVisible(recording);
    m_record->setDefault(false);
    if (hadFocus && !recording) {
        QPushButton* target = hotkey ? m_reRecord : m_record;
        target->setFocus(Qt::OtherFocusReason);
    }
}

void HotkeyRecorderView::startRecording()
{
    if (m_recorder->isRecording())
        return;
    m_recorder->startRecording();
    // Every key goes to this view while it records, including the chords the
    // window manager would take: on X the grab is a keyboard grab of the window.
    setFocus(Qt::OtherFocusReason);
    grabKeyboard();
    m_grabbing = true;
}

void HotkeyRecorderView::stopRecording()
{
    m_recorder->stopRecording();
    releaseGrab();
}

void HotkeyRecorderView::releaseGrab()
{
    if (!m_grabbing)
        return;
    releaseKeyboard();
    m_grabbing = false;
}

bool HotkeyRecorderView::event(QEvent* event)
{
    if (m_recorder && m_recorder->isRecording()) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claim every key before the window's shortcuts see it.
            event->accept();
            return true;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                m_recorder->handleKey(TriggerRecorderRules::fromCapture(ShortcutCapture::interpretKeyEvent(*key)));
            return true;
        }
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void HotkeyRecorderView::hideEvent(QHideEvent* event)
{
    // A hidden recorder (another tab, a closed window) must not keep the keyboard.
    stopRecording();
    QWidget::hideEvent(event);
}
