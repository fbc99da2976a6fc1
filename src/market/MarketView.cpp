#include "market/MarketView.h"

#include "common/SymbolGlyphs.h"
#include "l10n/L10n.h"
#include "market/MarketClient.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

// A turning arc, shown while the catalogue loads; its timer runs only while visible.
class BusySpinner : public QWidget
{
public:
    explicit BusySpinner(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        setFixedSize(28, 28);
        m_timer.setInterval(33);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 12) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::WindowText), 3, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.drawArc(rect().adjusted(3, 3, -3, -3), -m_angle * 16, 270 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

namespace {

QString text(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key), QString::fromUtf8(fallback));
}

QLabel* symbolLabel(const QString& name, int pixelSize, QWidget* parent)
{
    auto* label = new QLabel(SymbolGlyphs::materialLigature(name), parent);
    QFont font(SymbolGlyphs::loadedFontFamily());
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setAccessibleName(QString());
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QFont sizedFont(const QFont& base, double pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPixelSize(qRound(pixelSize));
    font.setWeight(weight);
    return font;
}

// Text at a lower emphasis: the window text faded towards the background.
void setEmphasis(QLabel* label, double alpha)
{
    QPalette palette = label->palette();
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(alpha);
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

void setAccent(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Highlight));
    label->setPalette(palette);
}

} // namespace

MarketView::MarketView(MarketClient& market, QWidget* parent)
    : QWidget(parent)
    , m_market(market)
{
    setObjectName(QStringLiteral("marketView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("marketHeader"));
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(16, 16, 16, 16);
    headerLayout->setSpacing(10);
    m_symbol = symbolLabel(QStringLiteral("square.grid.2x2.fill"), 20, header);
    headerLayout->addWidget(m_symbol, 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    m_title = new QLabel(header);
    m_title->setObjectName(QStringLiteral("marketTitle"));
    m_title->setFont(sizedFont(font(), 16, QFont::Bold));
    m_subtitle = new QLabel(header);
    m_subtitle->setObjectName(QStringLiteral("marketSubtitle"));
    m_subtitle->setFont(sizedFont(font(), 11.5));
    m_subtitle->setWordWrap(true);
    titles->addWidget(m_title);
    titles->addWidget(m_subtitle);
    headerLayout->addLayout(titles, 1);
    m_refresh = new QPushButton(header);
    m_refresh->setObjectName(QStringLiteral("marketRefresh"));
    headerLayout->addWidget(m_refresh, 0, Qt::AlignVCenter);
    layout->addWidget(header);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    m_body = new QStackedWidget(this);
    layout->addWidget(m_body, 1);

    auto* emptyPage = new QWidget(m_body);
    emptyPage->setObjectName(QStringLiteral("marketEmptyState"));
    auto* emptyLayout = new QVBoxLayout(emptyPage);
    emptyLayout->setSpacing(10);
    emptyLayout->addStretch(1);
    m_spinner = new BusySpinner(emptyPage);
    m_spinner->setObjectName(QStringLiteral("marketSpinner"));
    emptyLayout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    m_placeholder = new QLabel(emptyPage);
    m_placeholder->setObjectName(QStringLiteral("marketPlaceholder"));
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    emptyLayout->addWidget(m_placeholder);
    emptyLayout->addStretch(1);
    m_body->addWidget(emptyPage);

    auto* listPage = new QWidget(m_body);
    listPage->setObjectName(QStringLiteral("marketListPage"));
    auto* listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    auto* scroll = new QScrollArea(listPage);
    scroll->setObjectName(QStringLiteral("marketList"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_rows = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(16, 8, 16, 8);
    m_rowsLayout->setSpacing(4);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(m_rows);
    listLayout->addWidget(scroll, 1);
    m_status = new QLabel(listPage);
    m_status->setObjectName(QStringLiteral("marketStatus"));
    m_status->setFont(sizedFont(font(), 11.5));
    m_status->setContentsMargins(8, 8, 8, 8);
    m_status->setWordWrap(true);
    listLayout->addWidget(m_status);
    m_body->addWidget(listPage);

    connect(m_refresh, &QPushButton::clicked, &m_market, [this] { m_market.loadCatalog(); });
    connect(&m_market, &MarketClient::itemsChanged, this, &MarketView::rebuildRows);
    connect(&m_market, &MarketClient::installedIdsChanged, this, &MarketView::rebuildRows);
    connect(&m_market, &MarketClient::isLoadingChanged, this, &MarketView::updateState);
    connect(&m_market, &MarketClient::messageChanged, this, &MarketView::updateState);
    connect(&L10n::shared(), &L10n::languageChanged, this, &MarketView::retranslate);

    applyColours();
    retranslate();
}

void MarketView::applyColours()
{
    setAccent(m_symbol);
    setEmphasis(m_subtitle, 0.62);
    setEmphasis(m_placeholder, 0.62);
    setEmphasis(m_status, 0.62);
}

void MarketView::retranslate()
{
    m_title->setText(text("market.title", "插件市场"));
    m_subtitle->setText(text("market.subtitle", "下载热门应用的专属操作配置文件，一键导入到你的轮盘"));
    m_refresh->setText(text("market.refresh", "刷新"));
    m_refresh->setAccessibleName(m_refresh->text());
    m_refresh->setIcon(SymbolGlyphs::icon(QStringLiteral("arrow.clockwise"),
                                          m_refresh->palette().color(QPalette::ButtonText)));
    rebuildRows();
}

void MarketView::updateState()
{
    const bool empty = m_market.items().isEmpty();
    m_refresh->setEnabled(!m_market.isLoading());
    m_body->setCurrentIndex(empty ? 0 : 1);
    m_spinner->setVisible(empty && m_market.isLoading());
    const std::optional<QString> message = m_market.message();
    m_placeholder->setText(message ? *message : text("market.loading", "加载中..."));
    m_status->setText(message.value_or(QString()));
    m_status->setVisible(message.has_value());
}

void MarketView::rebuildRows()
{
    // A keyboard user keeps their place: the button that had focus gets it back.
    QWidget* focused = QApplication::focusWidget();
    const QString focusedName = focused && m_rows->isAncestorOf(focused) ? focused->objectName() : QString();
    // Drop every row (the trailing stretch stays) and build them afresh.
    while (m_rowsLayout->count() > 1) {
        QLayoutItem* item = m_rowsLayout->takeAt(0);
        delete item->widget();
        delete item;
    }
    const QList<MarketItem> items = m_market.items();
    for (int i = 0; i < items.size(); ++i)
        m_rowsLayout->insertWidget(i, makeRow(i));
    if (!focusedName.isEmpty()) {
        if (auto* button = m_rows->findChild<QPushButton*>(focusedName))
            button->setFocus(Qt::OtherFocusReason);
    }
    updateState();
}

QWidget* MarketView::makeRow(int index)
{
    const MarketItem item = m_market.items().at(index);
    auto* row = new QWidget(m_rows);
    row->setObjectName(QStringLiteral("marketRow_%1").arg(item.id));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 3, 0, 3);
    layout->setSpacing(10);

    QLabel* symbol = symbolLabel(QStringLiteral("app.badge.checkmark.fill"), 22, row);
    setAccent(symbol);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* name = new QLabel(item.appName + QStringLiteral("  v") + item.version, row);
    name->setObjectName(QStringLiteral("marketRowName"));
    name->setFont(sizedFont(font(), 13, QFont::DemiBold));
    name->setTextFormat(Qt::PlainText);
    texts->addWidget(name);
    auto* summary = new QLabel(item.summary, row);
    summary->setObjectName(QStringLiteral("marketRowSummary"));
    summary->setFont(sizedFont(font(), 11));
    summary->setTextFormat(Qt::PlainText);
    summary->setWordWrap(true);
    setEmphasis(summary, 0.62);
    texts->addWidget(summary);
    if (item.author) {
        auto* author = new QLabel(*item.author, row);
        author->setObjectName(QStringLiteral("marketRowAuthor"));
        author->setFont(sizedFont(font(), 10));
        author->setTextFormat(Qt::PlainText);
        setEmphasis(author, 0.42);
        texts->addWidget(author);
    }
    layout->addLayout(texts, 1);

    const bool installed = m_market.installedIds().contains(item.id);
    auto* button = new QPushButton(installed ? text("market.reinstall", "重新导入") : text("market.install", "导入"), row);
    button->setObjectName(QStringLiteral("marketInstall_%1").arg(item.id));
    button->setDefault(true); // the prominent style
    button->setAutoDefault(false);
    button->setAccessibleName(text("market.install", "导入") + QLatin1Char(' ') + item.appName);
    connect(button, &QPushButton::clicked, &m_market, [this, item] { m_market.install(item); });
    layout->addWidget(button, 0, Qt::AlignVCenter);
    return row;
}

void MarketView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_market.loadCatalog();
}

void MarketView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_status)
        applyColours();
}
