#pragma once

#include "settings/AppScanner.h"

#include <functional>
#include <QDialog>
#include <QList>

class DesktopEntries;
class QLabel;
class QLineEdit;
class QPushButton;
class AppRowList;
class IconGridModel;

// The sheet that adds a ring for one application: a searchable list of the
// installed applications, each with a button that adds its ring, and a file
// chooser for a desktop entry the list lacks. Adding closes the sheet; Cancel
// and Escape close it without a change.
class AddAppProfileSheet : public QDialog
{
    Q_OBJECT
public:
    explicit AddAppProfileSheet(QWidget* parent);

    // Asks for one desktop entry file, starting in `startIn`; empty when cancelled.
    using FilePicker = std::function<QString(QWidget* parent, const QString& startIn)>;
    void setFilePicker(FilePicker picker) { m_pickFile = std::move(picker); }
    static QString manualStartFolder() { return QStringLiteral("/usr/share/applications"); }

    QList<InstalledAppItem> installedApps() const { return m_installedApps; }
    QList<InstalledAppItem> filteredApps() const;
    static QList<InstalledAppItem> filteredApps(const QList<InstalledAppItem>& apps,
                                                const QString& searchText);

    // The application a chosen desktop entry file names: the id is the file's
    // name without ".desktop", the name the entry's Name, or the id when the
    // file can't be read as an entry.
    static InstalledAppItem itemForDesktopFile(const QString& path, DesktopEntries* entries);

    // Adds the ring for `app` (or selects the one it has) and closes the sheet.
    void addProfile(const InstalledAppItem& app);
    // Runs the file chooser; cancelling it changes nothing.
    void selectAppManually();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refreshList();

    QList<InstalledAppItem> m_installedApps;
    QList<InstalledAppItem> m_shown;
    bool m_loaded = false;
    FilePicker m_pickFile;

    QLabel* m_title = nullptr;
    QLineEdit* m_searchField = nullptr;
    AppRowList* m_list = nullptr;
    IconGridModel* m_model = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_cancel = nullptr;
};
