#pragma once

#include <QObject>
#include <QString>

class QDBusVariant;

// Whether the desktop asks for dark windows. The XDG Settings portal's
// "color-scheme" (org.freedesktop.appearance) is read at start and followed
// through SettingChanged; without a portal, or when it states no preference,
// the application palette's lightness decides, followed on palette changes.
class SystemAppearance : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isDark READ isDark NOTIFY isDarkChanged)
public:
    // The process-wide instance, following the session bus's portal.
    static SystemAppearance& shared();

    explicit SystemAppearance(QObject* parent = nullptr);

    bool isDark() const { return m_dark; }

    // "dark" and "light" force their scheme; any other theme follows the system.
    static bool resolveDark(const QString& themeMode, bool systemDark);
    // The stored "rondix_theme_mode" resolved against the desktop.
    bool themeIsDark() const;

    // The portal's color-scheme value: 1 prefers dark, 2 prefers light, 0 (or
    // any other value) states no preference. -1 while the portal has not answered.
    int portalColorScheme() const { return m_portalScheme; }

Q_SIGNALS:
    void isDarkChanged(bool dark);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void onSettingChanged(const QString& nameSpace, const QString& key, const QDBusVariant& value);

private:
    void readPortal(const QString& method);
    void setPortalScheme(int scheme);
    void recompute();
    static bool paletteIsDark();

    int m_portalScheme = -1;
    bool m_dark = false;
};
