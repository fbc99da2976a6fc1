#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPushButton>
#include <QString>
#include <QWidget>

class QLabel;

// Small drawing helpers shared by the general page, its recorders and the
// permission guide: symbols from the icon font, sized fonts, faded text.
namespace SettingsStyle {

QString text(const char* key, const char* fallback = nullptr);

// A symbol glyph as a label; decorative, so screen readers skip it.
QLabel* symbolLabel(const QString& symbol, int pixelSize, const QColor& colour, QWidget* parent);
QIcon symbolIcon(const QString& symbol, const QColor& colour);

QFont sizedFont(const QFont& base, double pixelSize, QFont::Weight weight = QFont::Normal);
// A label's font at this size and weight.
void setFontSize(QWidget* widget, double pixelSize, QFont::Weight weight = QFont::Normal);
// Text at a lower emphasis: the window text faded towards the background.
void setSecondary(QLabel* label);

QColor accentColour(const QWidget* widget);
QColor orange();
QColor green();


// A rounded rectangle behind its children: a fill and a one-point border.
// A colour without alpha over the palette's base is taken as it is; with
// alpha, it tints whatever the window shows (light or dark).
class RoundedPanel : public QWidget
{
    Q_OBJECT
public:
    explicit RoundedPanel(QWidget* parent = nullptr, double radius = 10);

    void setFill(const QColor& fill);
    // Fills with a palette colour, so the panel follows light and dark.
    void setFillRole(QPalette::ColorRole role);
    void setBorder(const QColor& border, double width = 1);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_radius;
    QColor m_fill;
    QPalette::ColorRole m_fillRole = QPalette::NoRole;
    QColor m_border;
    double m_borderWidth = 1;
};

// A flat button drawn as a link, in the palette's link colour (kept when
// the window turns light or dark), with an optional symbol before its text.
class LinkButton : public QPushButton
{
    Q_OBJECT
public:
    explicit LinkButton(const QString& text, const QString& symbol = {}, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLinkColour();

    QString m_symbol;
    bool m_applying = false;
};

} // namespace SettingsStyle
