#pragma once

#include "model/ActionModel.h"

#include <QColor>
#include <QFont>
#include <QWidget>

class QPainter;

// Draws an IconInfo into a square: a symbol glyph in the tint colour, an
// application's icon with rounded corners, or a named theme image, each with
// its fallback symbol. The static painters serve the ring and the settings;
// the widget shows one icon.
class ActionIconView : public QWidget
{
    Q_OBJECT
public:
    explicit ActionIconView(QWidget* parent = nullptr);
    ActionIconView(const IconInfo& icon, double size, const QColor& tint, QWidget* parent = nullptr);

    void setIcon(const IconInfo& icon);
    void setIconSize(double size);
    void setTintColor(const QColor& tint);
    IconInfo icon() const { return m_icon; }

    QSize sizeHint() const override;

    static void paint(QPainter& painter, const QRectF& square, const IconInfo& icon, const QColor& tint);
    // As paint(), with the application icon already loaded (null: not found);
    // the ring loads it once per summon rather than on every frame.
    static void paintWithAppIcon(QPainter& painter, const QRectF& square, const IconInfo& icon,
                                 const QColor& tint, const QPixmap& appIcon);
    // A symbol by its name, fitted into the square (unknown names: question mark).
    static void paintSymbol(QPainter& painter, const QRectF& square, const QString& sfSymbolName,
                            const QColor& tint);
    // The icon font at a pixel size; the font file is registered on first use.
    static QFont symbolFont(double pixelSize);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    IconInfo m_icon;
    double m_size = 22;
    QColor m_tint = Qt::black;
};
