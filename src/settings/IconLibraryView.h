#pragma once

#include "model/ActionModel.h"
#include "settings/AppScanner.h"

#include <QFutureWatcher>
#include <QList>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QToolButton;
class IconGridModel;
class IconGridView;

// The strip of icons under the ring editor: the curated symbols and the
// installed applications, one search field for both. A tap (or Return) on an
// item hands its icon to the owner; every item can be dragged onto a sector.
// The applications are scanned off the main thread the first time the view is
// shown, and come from the scanner's cache afterwards.
class IconLibraryView : public QWidget
{
    Q_OBJECT
public:
    enum Tab
    {
        SymbolsTab = 0,
        ApplicationsTab = 1,
    };

    explicit IconLibraryView(QWidget* parent = nullptr);
    ~IconLibraryView() override;

    int selectedTab() const { return m_selectedTab; }
    void setSelectedTab(int tab);
    QString searchText() const;
    void setSearchText(const QString& text);

    bool isLoadingApps() const { return m_isLoadingApps; }
    QList<InstalledAppItem> installedApps() const { return m_installedApps; }
    QStringList filteredSymbols() const;
    QList<InstalledAppItem> filteredApps() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void iconSelected(const IconInfo& icon);
    // The applications arrived from a scan (or the cache) and are shown.
    void installedAppsLoaded();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void build();
    void retranslate();
    void refreshSymbols();
    void refreshApps();
    void loadInstalledAppsIfNeeded();
    void setInstalledApps(const QList<InstalledAppItem>& apps);

    int m_selectedTab = SymbolsTab;
    QList<InstalledAppItem> m_installedApps;
    bool m_isLoadingApps = false;
    QFutureWatcher<QList<InstalledAppItem>>* m_scan = nullptr;

    QButtonGroup* m_tabGroup = nullptr;
    QToolButton* m_symbolsTabButton = nullptr;
    QToolButton* m_appsTabButton = nullptr;
    QLineEdit* m_searchField = nullptr;
    QToolButton* m_clearSearch = nullptr;
    QStackedWidget* m_panes = nullptr;
    QLabel* m_symbolsCaption = nullptr;
    QLabel* m_symbolsTip = nullptr;
    IconGridModel* m_symbolModel = nullptr;
    IconGridView* m_symbolGrid = nullptr;
    QStackedWidget* m_appsPane = nullptr;
    QLabel* m_scanningLabel = nullptr;
    QLabel* m_appsCaption = nullptr;
    QLabel* m_appsTip = nullptr;
    IconGridModel* m_appModel = nullptr;
    IconGridView* m_appGrid = nullptr;
};
