#pragma once

#include <QPointer>
#include <QWidget>

class MarketClient;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class BusySpinner;

// The market tab: a header with refresh, then either the loading or empty state
// or the catalogue rows with their install buttons and the status line. It draws
// what the client publishes and keeps no state of its own.
class MarketView : public QWidget
{
    Q_OBJECT

public:
    explicit MarketView(MarketClient& market, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void updateState();
    void rebuildRows();
    QWidget* makeRow(int index);
    void applyColours();

    MarketClient& m_market;
    QLabel* m_symbol = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QPushButton* m_refresh = nullptr;
    QStackedWidget* m_body = nullptr;
    BusySpinner* m_spinner = nullptr;
    QLabel* m_placeholder = nullptr;
    QWidget* m_rows = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QLabel* m_status = nullptr;
};
