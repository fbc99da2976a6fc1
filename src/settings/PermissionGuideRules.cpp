#include "settings/PermissionGuideRules.h"

#include "l10n/L10n.h"
#include "platform/PlatformTypes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace PermissionGuideRules {

namespace {
QString text(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key), QString::fromUtf8(fallback));
}
} // namespace

Explanation explain(bool granted, const InputAccess& access)
{
    Explanation e;
    // On Wayland the backend's account of the compositor says what is missing
    // and what to do about it: the same lines as the tray menu's.
    const bool wayland = access.session == InputAccess::Session::Wayland;
    const SessionCapabilities& desktop = access.desktop;
    if (granted) {
        e.title = text("permission.drag.granted_title", "辅助功能权限已成功配置");
        if (!wayland) {
            e.remedy = text("permission.drag.granted_desc", "当前 Mac 已完整授权。您可随时在 macOS 系统设置中查看权限状态。");
        } else {
            e.missing = desktop.missingTexts();
            e.remedy = desktop.isComplete()
                           ? L10n::format(QStringLiteral("session.complete"), std::nullopt, {desktop.desktop})
                           : desktop.adviceTexts().join(QLatin1Char('\n'));
        }
        return e;
    }
    e.title = text("permission.drag.title", "极速添加至辅助功能列表（双重方案）");
    switch (access.session) {
    case InputAccess::Session::Wayland:
        e.missing = desktop.missingTexts();
        e.remedy = desktop.adviceTexts().join(QLatin1Char('\n'));
        // No compositor Rondix could talk to: as without any display.
        if (e.missing.isEmpty())
            e.missing << L10n::string(QStringLiteral("session.missing.display"));
        if (e.remedy.isEmpty())
            e.remedy = text("permission.fix.wayland",
                            "在登录界面的会话菜单中选择 X11（Xorg）会话并重新登录，然后再次启动 Rondix。");
        return e;
    case InputAccess::Session::None:
        e.missing << text("permission.missing.display", "Rondix 没有找到可以使用的 X11 显示。");
        e.remedy = text("permission.fix.wayland",
                        "在登录界面的会话菜单中选择 X11（Xorg）会话并重新登录，然后再次启动 Rondix。");
        return e;
    case InputAccess::Session::X11:
        break;
    }
    if (!access.hasXTest)
        e.missing << text("permission.missing.xtest",
                          "X 服务器未提供 XTEST 扩展：Rondix 无法向目标窗口发送按键和粘贴。");
    if (!access.hasXInput22)
        e.missing << text("permission.missing.xinput",
                          "X 服务器未提供 XInput 2.2：鼠标按键唤起、快捷键备用监听以及点击轮盘外关闭均无法使用。");
    e.remedy = text("permission.fix.x11",
                    "Xorg 默认启用这两个扩展。远程或嵌套的 X 服务器（如 Xvnc、Xephyr）可能缺少它们：请以 "
                    "+extension XTEST 启动，或换用完整的 Xorg 会话，然后点「重新检测」或重启 Rondix。");
    return e;
}

QString desktopEntryPath()
{
    const QString name = kOwnAppId + QStringLiteral(".desktop");
    const QString installed = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
    if (!installed.isEmpty())
        return installed;
    const QString autostart =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/") + name;
    if (QFileInfo::exists(autostart))
        return autostart;
    return QCoreApplication::applicationFilePath();
}

} // namespace PermissionGuideRules
