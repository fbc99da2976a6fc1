#pragma once

#include "platform/InputTrust.h"

#include <functional>
#include <QWidget>

class AccessibilityPermissionManager;
class Opener;
namespace SettingsStyle {
class RoundedPanel;
}
class QLabel;
class QPushButton;

// Walks the user through making input control available: on X11 the XTest
// and XInput 2.2 extensions, elsewhere an X11 session. Shows what is missing
// and what to do, offers Rondix's desktop entry to drag or to show in the file
// manager, and re-checks or restarts Rondix.
class PermissionGuideView : public QWidget
{
    Q_OBJECT
public:
    explicit PermissionGuideView(QWidget* parent = nullptr);
    PermissionGuideView(AccessibilityPermissionManager* manager, Opener* opener, QWidget* parent = nullptr);

    // Shows the guide as a window-modal sheet on `window` (a top-level
    // dialog when there is none); a sheet already open there is raised
    // instead of a second one. Escape and Done close it.
    static void presentSheet(QWidget* window);

    // What the relaunch button runs (tests replace the restart).
    void setRelaunch(std::function<void()> relaunch) { m_relaunch = std::move(relaunch); }

Q_SIGNALS:
    // Done was pressed: whoever shows the guide closes it.
    void dismissRequested();

protected:
    void showEvent(QShowEvent* event) override;
    // Return is Done wherever the focus is (Space presses the focused button).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void retranslate();
    void refresh();
    void revealDesktopEntry();

    AccessibilityPermissionManager* m_manager;
    Opener* m_opener;
    std::function<void()> m_relaunch;
    bool m_shownGranted = false;
    InputAccess m_shownAccess;
    bool m_stale = true; // the state-dependent texts need redoing

    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    SettingsStyle::RoundedPanel* m_card = nullptr;
    QLabel* m_rowTitle = nullptr;
    QLabel* m_badge = nullptr;
    QPushButton* m_openSettings = nullptr;
    QLabel* m_reason = nullptr;
    SettingsStyle::RoundedPanel* m_dragBox = nullptr;
    QLabel* m_dragCaption = nullptr;
    QWidget* m_dragSource = nullptr;
    QLabel* m_dragSymbol = nullptr;
    QLabel* m_dragTitle = nullptr;
    QLabel* m_missing = nullptr;
    QLabel* m_remedy = nullptr;
    QPushButton* m_reveal = nullptr;
    QLabel* m_tip = nullptr;
    QLabel* m_footer = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_relaunchButton = nullptr;
    QPushButton* m_done = nullptr;
};
