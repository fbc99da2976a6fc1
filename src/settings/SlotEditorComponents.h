#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QLayout>
#include <QList>
#include <QString>

// Small buttons of the slot editor, drawn from the palette so that they follow
// the light and dark appearance.

// A symbol glyph as an icon in the given colour (the palette's text colour
// when invalid), for buttons and labels.
QIcon symbolIcon(const QString& symbolName, const QColor& color = {}, int size = 16);

// One action type: the symbol over the title on a rounded tile; the selected
// one in white on the accent colour.
class ActionCategoryButton : public QAbstractButton
{
    Q_OBJECT
public:
    ActionCategoryButton(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
};

// A small tinted button with one line of text that hands its value on when
// pressed: a prompt template's text or a quick path.
class QuickChip : public QAbstractButton
{
    Q_OBJECT
public:
    QuickChip(const QString& title, const QString& value, QWidget* parent = nullptr);

    QString value() const { return m_value; }
    QSize sizeHint() const override;

Q_SIGNALS:
    void selected(const QString& value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_value;
};

// The chip of a paste-text template; selected() carries the template's text.
class QuickPromptChip : public QuickChip
{
    Q_OBJECT
public:
    using QuickChip::QuickChip;
};

// The chip of a quick path; selected() carries the path.
class QuickPathChip : public QuickChip
{
    Q_OBJECT
public:
    using QuickChip::QuickChip;
};

// Lays chips out left to right and wraps them onto the next line when the
// row is full, so a row of chips never makes the editor wider.
class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override { return minimumSize(); }
    void setGeometry(const QRect& rect) override;

private:
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_gap;
};

// Pages of which one shows at a time. Unlike QStackedWidget it is as tall as
// the page it shows, so a short panel leaves no gap under it.
class PageStack : public QWidget
{
    Q_OBJECT
public:
    explicit PageStack(QWidget* parent = nullptr);

    int addWidget(QWidget* page);
    void setCurrentIndex(int index);
    int currentIndex() const { return m_current; }
    QWidget* widget(int index) const { return m_pages.value(index); }

private:
    QList<QWidget*> m_pages;
    int m_current = -1;
};
