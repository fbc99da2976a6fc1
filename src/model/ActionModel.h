#pragma once

#include <optional>
#include <QHashFunctions>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <variant>

// The picture of a slot.
struct IconInfo
{
    struct SfSymbol
    {
        QString name;
        bool operator==(const SfSymbol&) const = default;
    };
    struct App
    {
        QString bundleId;
        QString name;
        QString path;
        bool operator==(const App&) const = default;
    };
    struct CustomImage
    {
        QString name;
        bool operator==(const CustomImage&) const = default;
    };

    std::variant<SfSymbol, App, CustomImage> value;

    static IconInfo sfSymbol(const QString& name);
    static IconInfo app(const QString& bundleId, const QString& name, const QString& path);
    static IconInfo customImage(const QString& name);

    // Drag-and-drop format of an icon between views; the payload is its JSON.
    static QString dragMimeType() { return QStringLiteral("application/x-rondix-icon+json"); }

    QString displayName() const;
    bool isApp() const;
    std::optional<QString> sfSymbolName() const;
    std::optional<QString> appPath() const;

    bool operator==(const IconInfo&) const = default;
};

// The compass position of a sector; 0 is straight up, numbering runs clockwise.
enum class RadialSectorPosition
{
    north = 0,
    northEast = 1,
    east = 2,
    southEast = 3,
    south = 4,
    southWest = 5,
    west = 6,
    northWest = 7,
};

namespace RadialSector {
int rawValue(RadialSectorPosition p);
// Nothing for values outside 0...7.
std::optional<RadialSectorPosition> fromRawValue(qint64 raw);
double midAngleDegrees(RadialSectorPosition p);
QString localizedDirectionName(RadialSectorPosition p);
QString directionName(RadialSectorPosition p);
QString localizedShortDirectionName(RadialSectorPosition p);
QList<RadialSectorPosition> allCases();
} // namespace RadialSector

struct KeyModifiers
{
    bool command = false;
    bool option = false;
    bool control = false;
    bool shift = false;

    static constexpr quint64 shiftFlag = 0x20000;
    static constexpr quint64 controlFlag = 0x40000;
    static constexpr quint64 optionFlag = 0x80000;
    static constexpr quint64 commandFlag = 0x100000;

    static KeyModifiers none() { return {}; }
    // Glyphs in the order control, option, shift, command.
    QString displayString() const;
    quint64 nsEventFlags() const;
    // Reads only the four modifier bits; caps lock and device bits are ignored.
    static KeyModifiers fromNsEventFlags(quint64 flags);

    bool operator==(const KeyModifiers&) const = default;
};

enum class SystemControlAction
{
    missionControl,
    showDesktop,
    volumeUp,
    volumeDown,
    mute,
    brightnessUp,
    brightnessDown,
    lockScreen,
    screenshotArea,
    screenshotScreen,
    mediaPlayPause,
    spotlight,
    openFinder,
};

namespace SystemControl {
QString rawValue(SystemControlAction a);
std::optional<SystemControlAction> fromRawValue(const QString& raw);
QString defaultSymbol(SystemControlAction a);
QString localizedName(SystemControlAction a);
inline QString displayName(SystemControlAction a)
{
    return localizedName(a);
}
bool isVolumeControl(SystemControlAction a);
// Declaration order; also the order offered in editors.
QList<SystemControlAction> allCases();
inline QList<SystemControlAction> availableCases()
{
    return allCases();
}
} // namespace SystemControl

// What a slot does.
struct ActionType
{
    struct Shortcut
    {
        QString key;
        quint16 keyCode = 0;
        KeyModifiers modifiers;
        bool operator==(const Shortcut&) const = default;
    };
    struct RunShortcut
    {
        QString shortcutName;
        bool operator==(const RunShortcut&) const = default;
    };
    struct PasteText
    {
        QString content;
        bool operator==(const PasteText&) const = default;
    };
    struct LaunchApp
    {
        QString bundleId;
        QString appName;
        QString path;
        bool operator==(const LaunchApp&) const = default;
    };
    struct OpenURL
    {
        QString url;
        bool operator==(const OpenURL&) const = default;
    };
    struct OpenPath
    {
        QString path;
        bool operator==(const OpenPath&) const = default;
    };
    struct SystemControl
    {
        SystemControlAction control = SystemControlAction::missionControl;
        bool operator==(const SystemControl&) const = default;
    };
    struct None
    {
        bool operator==(const None&) const = default;
    };

    std::variant<Shortcut, RunShortcut, PasteText, LaunchApp, OpenURL, OpenPath, SystemControl, None> value =
        None{};

    static ActionType shortcut(const QString& key, quint16 keyCode, const KeyModifiers& modifiers);
    static ActionType runShortcut(const QString& shortcutName);
    static ActionType pasteText(const QString& content);
    static ActionType launchApp(const QString& bundleId, const QString& appName, const QString& path);
    static ActionType openURL(const QString& url);
    static ActionType openPath(const QString& path);
    static ActionType systemControl(SystemControlAction control);
    static ActionType none() { return {}; }

    bool isNone() const { return std::holds_alternative<None>(value); }
    bool isVolumeAction() const;
    // The control of a systemControl action, nothing for other cases.
    std::optional<SystemControlAction> systemControlAction() const;

    QString localizedSummary() const;
    QString summary() const { return localizedSummary(); }
    QString localizedCategoryName() const;
    QString typeCategoryName() const { return localizedCategoryName(); }

    bool operator==(const ActionType&) const = default;
};

// One sector of a ring.
struct ActionSlot
{
    QUuid id;
    qint64 index = 0;
    QString title;
    IconInfo icon;
    ActionType action;
    bool isEnabled = false;

    // Fresh id, empty title and symbol, no action, disabled.
    static ActionSlot empty(qint64 index);

    RadialSectorPosition position() const;
    QString displayTitle() const;
    bool isEmpty() const;
    bool isVolumeAction() const;

    // Built-in and preset titles, shown in the current interface language.
    static std::optional<QString> presetName(const QString& title, const ActionType& action);
    // Titles that the editor fills in for system controls, in every interface language.
    static bool isAutomaticSystemTitle(const QString& title);
    // An empty text or the literal "未分配" (stored by every language) stands for no title.
    static bool isPlaceholderTitle(const QString& title);

    bool operator==(const ActionSlot&) const = default;
};

// Field-wise hashes, consistent with operator==.
size_t qHash(const IconInfo& icon, size_t seed = 0) noexcept;
size_t qHash(const KeyModifiers& modifiers, size_t seed = 0) noexcept;
size_t qHash(const ActionType& action, size_t seed = 0) noexcept;
size_t qHash(const ActionSlot& slot, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(IconInfo)
Q_DECLARE_METATYPE(KeyModifiers)
Q_DECLARE_METATYPE(ActionType)
Q_DECLARE_METATYPE(ActionSlot)
Q_DECLARE_METATYPE(SystemControlAction)
Q_DECLARE_METATYPE(RadialSectorPosition)
