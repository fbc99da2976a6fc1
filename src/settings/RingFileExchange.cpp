#include "settings/RingFileExchange.h"

#include "common/Log.h"
#include "hud/SoundFeedback.h"
#include "l10n/L10n.h"
#include "model/RingFile.h"
#include "platform/Platform.h"
#include "settings/SettingsRules.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

namespace RingFileExchange {

namespace {

QString& lastDirectoryStore()
{
    static QString directory;
    return directory;
}

QString lastDirectory()
{
    QString& directory = lastDirectoryStore();
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        directory = QDir::homePath();
    return directory;
}

void rememberDirectory(const QString& path)
{
    // Next time the dialogs start where the user last was.
    const QString dir = QFileInfo(path).absolutePath();
    if (QFileInfo(dir).isDir())
        lastDirectoryStore() = dir;
}

Dialogs defaultDialogs()
{
    Dialogs d;
    d.saveFileName = [](QWidget* parent, const QString& title, const QString& proposed,
                        const QStringList& filters) {
        QString selected = filters.value(0);
        QString path = QFileDialog::getSaveFileName(parent, title, proposed,
                                                    filters.join(QStringLiteral(";;")), &selected);
        // A name typed without extension gets the one of the type chosen.
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty() && selected == filters.value(0))
            path += QLatin1Char('.') + QLatin1String(RingFile::kExtension);
        return path;
    };
    d.openFileName = [](QWidget* parent, const QString& title, const QStringList& filters) {
        return QFileDialog::getOpenFileName(parent, title, lastDirectory(),
                                            filters.join(QStringLiteral(";;")));
    };
    d.alert = [](QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                 const QStringList& buttons) {
        QMessageBox box(icon, title, title, QMessageBox::NoButton, parent);
        box.setInformativeText(text);
        box.setWindowModality(Qt::WindowModal);
        if (parent)
            box.setPalette(parent->window()->palette()); // the settings window's light or dark look
        QList<QAbstractButton*> made;
        for (int i = 0; i < buttons.size(); ++i)
            made << box.addButton(buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
        if (buttons.isEmpty())
            made << box.addButton(QMessageBox::Ok);
        box.setDefaultButton(qobject_cast<QPushButton*>(made.first()));
        box.setEscapeButton(made.first());
        box.exec();
        const int index = int(made.indexOf(box.clickedButton()));
        return index < 0 ? 0 : index;
    };
    d.reveal = [](const QString& path) {
        if (Opener* opener = Platform::instance().opener)
            opener->revealFile(path);
    };
    return d;
}

QString okText()
{
    return L10n::string(QStringLiteral("common.ok"), QStringLiteral("好"));
}

} // namespace

Dialogs& dialogs()
{
    static Dialogs hooks = defaultDialogs();
    return hooks;
}

void resetDialogs()
{
    dialogs() = defaultDialogs();
}

QStringList nameFilters()
{
    return {QStringLiteral("Rondix ring (*.rondix)"), QStringLiteral("JSON (*.json)"),
            QStringLiteral("All files (*)")};
}

QString exportProfile(QWidget* window, const RingProfile& profile)
{
    const QString title =
        L10n::string(QStringLiteral("profile.export_dialog_title"), QStringLiteral("导出轮盘配置"));
    const QString proposed = QDir(lastDirectory()).filePath(RingFile::proposedFileName(profile));
    const QString path = dialogs().saveFileName(window, title, proposed, nameFilters());
    if (path.isEmpty())
        return {};
    rememberDirectory(path);

    QString error;
    if (!RingFile::write(path, profile, &error)) {
        logLine(QStringLiteral("[SettingsView] Failed to export profile: ") + error);
        dialogs().alert(
            window, QMessageBox::Critical,
            L10n::string(QStringLiteral("profile.export_failed_title"), QStringLiteral("导出失败")), error,
            {okText()});
        return {};
    }

    SoundFeedback::shared().playTrigger();
    const int pressed = dialogs().alert(
        window, QMessageBox::Information,
        L10n::string(QStringLiteral("profile.export_success_title"), QStringLiteral("导出成功")),
        SettingsRules::exportSuccessText(path),
        {okText(), L10n::string(QStringLiteral("profile.show_in_finder"), QStringLiteral("在访达中显示"))});
    if (pressed == 1)
        dialogs().reveal(QFileInfo(path).absoluteFilePath());
    return path;
}

bool importProfile(QWidget* window, const ImportInto& import, const QString& storePath)
{
    const QString title =
        L10n::string(QStringLiteral("profile.import_dialog_title"), QStringLiteral("导入轮盘配置"));
    const QString path = dialogs().openFileName(window, title, nameFilters());
    if (path.isEmpty())
        return false;
    rememberDirectory(path);

    const QString failedTitle =
        L10n::string(QStringLiteral("profile.import_failed_title"), QStringLiteral("导入失败"));
    QString error;
    const std::optional<RingProfile> ring = RingFile::decode(path, &error);
    if (!ring) {
        logLine(QStringLiteral("[SettingsView] Failed to import profile: ") + error);
        dialogs().alert(window, QMessageBox::Critical, failedTitle, SettingsRules::importFailedText(error),
                        {okText()});
        return false;
    }

    if (!import(*ring)) {
        // The store could not keep it: say so rather than report a success.
        logLine(
            QStringLiteral("[SettingsView] Failed to import profile: the ring store could not be written"));
        dialogs().alert(
            window, QMessageBox::Critical, failedTitle,
            L10n::format(QStringLiteral("profile.import_not_saved_msg"), std::nullopt, {storePath}),
            {okText()});
        return false;
    }

    SoundFeedback::shared().playTrigger();
    dialogs().alert(window, QMessageBox::Information,
                    L10n::string(QStringLiteral("profile.import_success_title"), QStringLiteral("导入成功")),
                    SettingsRules::importSuccessText(*ring), {okText()});
    return true;
}

} // namespace RingFileExchange
