#pragma once

#include "settings/GeneralSettingsModel.h"

#include <functional>
#include <memory>
#include <QWidget>

class AccessibilityPermissionManager;
class AppearanceSelectorView;
class HotkeyManager;
class InputMonitor;
class L10n;
class LoginItem;
class MouseTriggerManager;
class Opener;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// The general tab of the settings window: the input-control warning while it
// is missing, appearance and system options, sounds and the two triggers,
// privacy, legal pages and about. Every control writes its setting at once.
class GeneralSettingsView : public QWidget
{
    Q_OBJECT
public:
    // What the page works with; the defaults are the shared managers.
    struct Services
    {
        L10n* l10n = nullptr;
        AccessibilityPermissionManager* permission = nullptr;
        HotkeyManager* hotkeys = nullptr;
        MouseTriggerManager* mouseTrigger = nullptr;
        InputMonitor* input = nullptr;
        LoginItem* loginItem = nullptr;
        Opener* opener = nullptr;
        GeneralSettingsModel::Hooks hooks;
        std::function<void()> relaunch;
        // Shows the permission guide over the page's window.
        std::function<void(QWidget* window)> showPermissionGuide;

        static Services shared();
    };

    explicit GeneralSettingsView(QWidget* parent = nullptr);
    GeneralSettingsView(Services services, QWidget* parent = nullptr);
    ~GeneralSettingsView() override;

    // Registers or removes the autostart entry (the launch-at-login toggle).
    void updateLaunchAtLogin(bool enabled);

    GeneralSettingsModel& model() { return m_model; }

    // "~/.local/share/Rondix/" for the store under the home folder, else the
    // full path, with a trailing slash.
    static QString storeFolderText(const QString& dataDirectory, const QString& homeDirectory);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    QWidget* buildContent();
    void refreshPermission();
    void showGuide();
    void openLegalPage(const QString& path);

    Services m_services;
    GeneralSettingsModel m_model;
    QScrollArea* m_scroll;
    QWidget* m_content = nullptr;
    // Parts that follow the permission state in place.
    QWidget* m_warning = nullptr;
    QPushButton* m_privacyGuide = nullptr;
    AppearanceSelectorView* m_appearance = nullptr;
};
