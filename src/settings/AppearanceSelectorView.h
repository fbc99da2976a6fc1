#pragma once

#include <functional>
#include <QAbstractButton>
#include <QVariantAnimation>
#include <QWidget>

class QLabel;

// The type of miniature a theme card draws.
enum class ThemePreviewType
{
    automatic,
    light,
    dark,
};

// A small desktop, light or dark: a wallpaper with a wave and a window with
// its three dots. `isSplit` draws it as one half of the automatic card.
class SingleThemeThumbnail : public QWidget
{
    Q_OBJECT
public:
    SingleThemeThumbnail(bool isDark, bool isSplit, QWidget* parent = nullptr);

    static void paint(QPainter& painter, const QRectF& rect, bool isDark, bool isSplit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_dark;
    bool m_split;
};

// One theme card: the miniature over its title. A button: Space and Return
// choose it, like a click.
class AppearanceCard : public QAbstractButton
{
    Q_OBJECT
public:
    AppearanceCard(const QString& title, const QString& mode, bool isSelected, ThemePreviewType previewType,
                   std::function<void()> onSelect, QWidget* parent = nullptr);

    QString mode() const { return m_mode; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    void setTitle(const QString& title);
    // How far the selected look is drawn: 0 unselected, 1 selected; a change of
    // selection eases between the two in 0.15 s.
    qreal emphasis() const { return m_emphasis; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_mode;
    bool m_selected;
    ThemePreviewType m_previewType;
    std::function<void()> m_onSelect;
    qreal m_emphasis;
    QVariantAnimation m_emphasisAnimation;
};

// The theme chooser: title, description and the three cards, bound to the
// stored theme text.
class AppearanceSelectorView : public QWidget
{
    Q_OBJECT
public:
    // `themeMode` reads the stored text; `setThemeMode` writes a card's mode.
    AppearanceSelectorView(std::function<QString()> themeMode, std::function<void(const QString&)> setThemeMode,
                           QWidget* parent = nullptr);

    QList<AppearanceCard*> cards() const { return m_cards; }
    void refresh();
    void retranslate();

private:
    std::function<QString()> m_themeMode;
    std::function<void(const QString&)> m_setThemeMode;
    QLabel* m_title;
    QLabel* m_desc;
    QList<AppearanceCard*> m_cards;
};
