#pragma once

#include "settings/SettingsRules.h"

#include <functional>
#include <QPointer>
#include <QWidget>

class ProfileHistory;
class ProfilesView;
class QAbstractButton;
class QButtonGroup;
class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

// The settings window's content: the header with the tab picker and the test
// button, the banners, and the three tabs (rings, general settings, market),
// all kept alive so that switching tabs keeps each one's state. It also keeps
// the window's title and colour scheme in step with the language and theme.
class SettingsView : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsView(QWidget* parent = nullptr);
    ~SettingsView() override;

    SettingsRules::SettingsTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(SettingsRules::SettingsTab tab);
    QWidget* page(SettingsRules::SettingsTab tab) const;
    ProfilesView* profilesView() const;
    ProfileHistory* history() const { return m_history; }

    // Shows the ring for the application used last, as the hotkey would.
    void summonTestHUD();
    void updateWindowTitle();
    void updateWindowAppearance();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildPermissionBanner();
    QWidget* buildSaveBlockedBanner();
    void buildContent();
    QWidget* makeGeneralPage();
    QWidget* makeMarketPage();
    void showPermissionGuide();
    void retranslate();
    void refreshIcons();
    void onLanguageChanged();
    void updateSummonLabel();
    void updateBanners();
    void activateOnReturn(QAbstractButton* button);

    ProfileHistory* m_history = nullptr;
    SettingsRules::SettingsTab m_selectedTab = SettingsRules::SettingsTab::profiles;
    int m_slotIndex = 0;

    QButtonGroup* m_tabGroup = nullptr;
    QPushButton* m_summonButton = nullptr;
    QFrame* m_permissionBanner = nullptr;
    QLabel* m_permissionText = nullptr;
    QPushButton* m_permissionButton = nullptr;
    QFrame* m_saveBlockedBanner = nullptr;
    QLabel* m_saveBlockedText = nullptr;
    QVBoxLayout* m_root = nullptr;
    QPointer<QStackedWidget> m_pages;
    QString m_builtLanguage;
    bool m_appeared = false;
};
