#include "settings/PermissionGuideView.h"

#include "common/SymbolGlyphs.h"
#include "l10n/L10n.h"
#include "platform/Opener.h"
#include "platform/Platform.h"
#include "settings/PermissionGuideRules.h"
#include "settings/SettingsStyle.h"
#include "shell/AccessibilityPermissionManager.h"

#include <QApplication>
#include <QDialog>
#include <QDrag>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

using SettingsStyle::text;

namespace {

const QColor kBlue(10, 132, 255);

QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(alpha);
    return colour;
}

QLabel* wrappedLabel(QWidget* parent, double size, QFont::Weight weight = QFont::Normal, bool secondary = false)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    SettingsStyle::setFontSize(label, size, weight);
    if (secondary)
        SettingsStyle::setSecondary(label);
    return label;
}

// Rondix's icon, dragged as its desktop entry file.
class DesktopEntryDragSource : public QLabel
{
public:
    explicit DesktopEntryDragSource(QWidget* parent)
        : QLabel(parent)
    {
        setObjectName(QStringLiteral("permissionDragSource"));
        setFixedSize(52, 52);
        setAlignment(Qt::AlignCenter);
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = QIcon::fromTheme(QStringLiteral("org.rondix.Rondix"),
                                    QIcon::fromTheme(QStringLiteral("application-x-executable")));
        setPixmap(icon.pixmap(44, 44));
        setCursor(Qt::OpenHandCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_pressAt = event->position().toPoint();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton) || m_pressAt.isNull() ||
            (event->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return;
        m_pressAt = {};
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(PermissionGuideRules::desktopEntryPath())});
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        if (pixmap().isNull() == false)
            drag->setPixmap(pixmap());
        drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
    }
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(palette().color(QPalette::Base), 0.9));
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
        }
        QLabel::paintEvent(event);
    }

private:
    QPoint m_pressAt;
};

} // namespace

PermissionGuideView::PermissionGuideView(QWidget* parent)
    : PermissionGuideView(&AccessibilityPermissionManager::shared(), Platform::instance().opener, parent)
{}

PermissionGuideView::PermissionGuideView(AccessibilityPermissionManager* manager, Opener* opener, QWidget* parent)
    : QWidget(parent)
    , m_manager(manager)
    , m_opener(opener)
    , m_relaunch(&AccessibilityPermissionManager::relaunchApp)
{
    setObjectName(QStringLiteral("permissionGuide"));
    build();
    connect(&L10n::shared(), &L10n::languageChanged, this, &PermissionGuideView::retranslate);
    if (m_manager)
        connect(m_manager, &AccessibilityPermissionManager::isAccessibilityGrantedChanged, this,
                &PermissionGuideView::refresh);
    retranslate();
}

void PermissionGuideView::build()
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(20);

    // Header
    auto* header = new QVBoxLayout;
    header->setSpacing(6);
    QLabel* shield = SettingsStyle::symbolLabel(QStringLiteral("shield.lefthalf.filled"), 38, kBlue, this);
    header->addWidget(shield, 0, Qt::AlignHCenter);
    m_title = wrappedLabel(this, 18, QFont::Bold);
    m_title->setObjectName(QStringLiteral("permissionTitle"));
    m_title->setAlignment(Qt::AlignHCenter);
    header->addWidget(m_title);
    m_subtitle = wrappedLabel(this, 12, QFont::Normal, true);
    m_subtitle->setAlignment(Qt::AlignHCenter);
    m_subtitle->setContentsMargins(10, 0, 10, 0);
    header->addWidget(m_subtitle);
    column->addLayout(header);

    // The input-control card
    auto* card = new SettingsStyle::RoundedPanel(this, 10);
    card->setObjectName(QStringLiteral("permissionCard"));
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(12, 12, 12, 12);
    cardLayout->setSpacing(10);

    auto* row = new QHBoxLayout;
    auto* tile = new SettingsStyle::RoundedPanel(card, 8);
    tile->setFixedSize(32, 32);
    tile->setFill(withAlpha(kBlue, 0.12));
    auto* tileLayout = new QHBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    tileLayout->addWidget(SettingsStyle::symbolLabel(QStringLiteral("hand.tap.fill"), 20, kBlue, tile), 0,
                          Qt::AlignCenter);
    row->addWidget(tile);
    m_rowTitle = wrappedLabel(card, 13, QFont::Bold);
    row->addWidget(m_rowTitle, 1);
    m_badge = new QLabel(card);
    m_badge->setObjectName(QStringLiteral("permissionGrantedBadge"));
    m_badge->setTextFormat(Qt::RichText);
    SettingsStyle::setFontSize(m_badge, 11, QFont::DemiBold);
    {
        QPalette p = m_badge->palette();
        p.setColor(QPalette::WindowText, SettingsStyle::green().darker(115));
        p.setColor(QPalette::Window, withAlpha(SettingsStyle::green(), 0.12));
        m_badge->setPalette(p);
        m_badge->setAutoFillBackground(true);
        m_badge->setContentsMargins(8, 4, 8, 4);
    }
    row->addWidget(m_badge);
    m_openSettings = new QPushButton(card);
    m_openSettings->setObjectName(QStringLiteral("permissionOpenSettings"));
    SettingsStyle::setFontSize(m_openSettings, 11, QFont::DemiBold);
    row->addWidget(m_openSettings);
    cardLayout->addLayout(row);

    m_reason = wrappedLabel(card, 11, QFont::Normal, true);
    cardLayout->addWidget(m_reason);

    // The drag box
    auto* box = new SettingsStyle::RoundedPanel(card, 8);
    box->setObjectName(QStringLiteral("permissionDragBox"));
    box->setFill(withAlpha(kBlue, 0.06));
    auto* boxLayout = new QHBoxLayout(box);
    boxLayout->setContentsMargins(10, 10, 10, 10);
    boxLayout->setSpacing(12);
    auto* sourceColumn = new QVBoxLayout;
    sourceColumn->setSpacing(4);
    m_dragSource = new DesktopEntryDragSource(box);
    sourceColumn->addWidget(m_dragSource, 0, Qt::AlignHCenter);
    m_dragCaption = new QLabel(box);
    SettingsStyle::setFontSize(m_dragCaption, 9.5, QFont::Bold);
    {
        QPalette p = m_dragCaption->palette();
        p.setColor(QPalette::WindowText, SettingsStyle::accentColour(this));
        m_dragCaption->setPalette(p);
    }
    sourceColumn->addWidget(m_dragCaption, 0, Qt::AlignHCenter);
    sourceColumn->addStretch(1);
    boxLayout->addLayout(sourceColumn);

    auto* textColumn = new QVBoxLayout;
    textColumn->setSpacing(6);
    auto* titleRow = new QHBoxLayout;
    m_dragSymbol = SettingsStyle::symbolLabel(QStringLiteral("hand.draw.fill"), 14, SettingsStyle::orange(), box);
    titleRow->addWidget(m_dragSymbol);
    m_dragTitle = wrappedLabel(box, 11.5, QFont::Bold);
    m_dragTitle->setObjectName(QStringLiteral("permissionDragTitle"));
    titleRow->addWidget(m_dragTitle, 1);
    textColumn->addLayout(titleRow);
    m_missing = wrappedLabel(box, 10.5);
    m_missing->setObjectName(QStringLiteral("permissionMissing"));
    textColumn->addWidget(m_missing);
    m_remedy = wrappedLabel(box, 10.5, QFont::Normal, true);
    m_remedy->setObjectName(QStringLiteral("permissionRemedy"));
    textColumn->addWidget(m_remedy);
    m_reveal = new QPushButton(box);
    m_reveal->setObjectName(QStringLiteral("permissionReveal"));
    SettingsStyle::setFontSize(m_reveal, 10.5, QFont::DemiBold);
    m_reveal->setIcon(SettingsStyle::symbolIcon(QStringLiteral("folder.fill"), kBlue));
    textColumn->addWidget(m_reveal, 0, Qt::AlignLeft);
    textColumn->addStretch(1);
    boxLayout->addLayout(textColumn, 1);
    cardLayout->addWidget(box);
    column->addWidget(card);
    m_card = card;
    m_dragBox = box;

    // Tips
    auto* tips = new QVBoxLayout;
    tips->setSpacing(6);
    m_tip = wrappedLabel(this, 10, QFont::Normal, true);
    tips->addWidget(m_tip);
    auto* footerRow = new QHBoxLayout;
    footerRow->addWidget(
        SettingsStyle::symbolLabel(QStringLiteral("lock.shield.fill"), 13, SettingsStyle::green(), this));
    m_footer = wrappedLabel(this, 11, QFont::Normal, true);
    footerRow->addWidget(m_footer, 1);
    tips->addLayout(footerRow);
    column->addLayout(tips);
    column->addStretch(1);

    // Buttons
    auto* buttons = new QHBoxLayout;
    m_refresh = new QPushButton(this);
    m_refresh->setObjectName(QStringLiteral("permissionRefresh"));
    m_relaunchButton = new QPushButton(this);
    m_relaunchButton->setObjectName(QStringLiteral("permissionRelaunch"));
    m_done = new QPushButton(this);
    m_done->setObjectName(QStringLiteral("permissionDone"));
    m_done->setDefault(true);
    m_done->setAutoDefault(true);
    buttons->addWidget(m_refresh);
    buttons->addWidget(m_relaunchButton);
    buttons->addStretch(1);
    buttons->addWidget(m_done);
    column->addLayout(buttons);

    // Return is Done wherever the focus is; Space presses the focused button.
    for (QPushButton* b : std::initializer_list<QPushButton*>{m_openSettings, m_reveal, m_refresh, m_relaunchButton})
        b->setAutoDefault(false);

    connect(m_openSettings, &QPushButton::clicked, this, [this] {
        if (m_manager)
            m_manager->requestPermission();
    });
    connect(m_reveal, &QPushButton::clicked, this, &PermissionGuideView::revealDesktopEntry);
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        if (m_manager)
            m_manager->checkPermission();
    });
    connect(m_relaunchButton, &QPushButton::clicked, this, [this] {
        if (m_relaunch)
            m_relaunch();
    });
    connect(m_done, &QPushButton::clicked, this, &PermissionGuideView::dismissRequested);

    setMinimumWidth(540);
    setMaximumWidth(640);
}

void PermissionGuideView::retranslate()
{
    m_title->setText(text("permission.guide.title", "系统权限配置与授权引导"));
    m_subtitle->setText(text("permission.guide.subtitle",
                             "Rondix 运行于 macOS 沙盒环境，仅申请保障快捷操作与无障碍交互所必需的系统权限。"));
    m_rowTitle->setText(text("permission.a11y.title", "辅助功能权限 (Accessibility)"));
    const QString granted = text("permission.status.granted", "已授权");
    m_badge->setText(QStringLiteral("<span style=\"font-family:'%1'\">%2</span>&nbsp;%3")
                         .arg(SymbolGlyphs::loadedFontFamily(),
                              SymbolGlyphs::materialLigature(QStringLiteral("checkmark.circle.fill")),
                              granted.toHtmlEscaped()));
    m_badge->setAccessibleName(granted);
    m_openSettings->setText(text("permission.status.open_settings", "前往开启"));
    m_reason->setText(text("permission.a11y.reason",
                           "【快捷操作与无障碍交互】作为减轻精细操作疲劳(RSI)的辅助导航技术，用于向目标应用程序发送快捷键、"
                           "响应鼠标中键及侧键呼出。全程 100% 本地运行，绝不记录任何敏感击键与用户隐私。"));
    m_dragCaption->setText(text("permission.drag.tip", "按住拖拽"));
    m_dragSource->setAccessibleName(m_dragCaption->text() + QStringLiteral(": ") +
                                    QFileInfo(PermissionGuideRules::desktopEntryPath()).fileName());
    m_reveal->setText(text("permission.reveal_finder", "在访达中定位 Rondix..."));
    m_tip->setText(text("permission.guide.relaunch_tip",
                        "💡 提示：macOS 系统在应用运行期间修改或撤销权限后，点击「重启应用刷新」即可秒级重载系统权限令牌。"));
    m_footer->setText(text("permission.guide.footer",
                           "100% 本地原生运算 · 零数据上报 · 您可随时在 macOS 系统设置中查看或撤销授权"));
    m_refresh->setText(text("permission.guide.refresh", "重新检测状态"));
    m_refresh->setIcon(SettingsStyle::symbolIcon(QStringLiteral("arrow.clockwise"), palette().color(QPalette::ButtonText)));
    m_relaunchButton->setText(text("permission.guide.relaunch", "重启应用刷新"));
    m_relaunchButton->setIcon(
        SettingsStyle::symbolIcon(QStringLiteral("arrow.triangle.2.circlepath"), palette().color(QPalette::ButtonText)));
    m_relaunchButton->setToolTip(text("permission.guide.relaunch_help", "重启 Rondix 进程，从头重新检测输入控制"));
    m_done->setText(text("common.done", "完成"));
    m_stale = true;
    refresh();
}

void PermissionGuideView::refresh()
{
    const bool granted = m_manager && m_manager->isAccessibilityGranted();
    const InputAccess access = m_manager ? m_manager->inputAccess() : InputAccess{};
    // The manager publishes every second while polling: only a change redraws.
    if (!m_stale && granted == m_shownGranted && access == m_shownAccess)
        return;
    m_stale = false;
    m_shownGranted = granted;
    m_shownAccess = access;

    m_card->setFill(withAlpha(palette().color(QPalette::Base), 0.75));
    m_card->setBorder(granted ? withAlpha(SettingsStyle::green(), 0.3) : withAlpha(SettingsStyle::orange(), 0.4));
    m_dragBox->setBorder(granted ? withAlpha(SettingsStyle::green(), 0.25) : withAlpha(kBlue, 0.2));

    const bool focusedButtonGoes = (m_openSettings->hasFocus() || m_reveal->hasFocus()) && granted;
    m_badge->setVisible(granted);
    m_openSettings->setVisible(!granted);
    m_reveal->setVisible(!granted);
    if (focusedButtonGoes)
        m_refresh->setFocus(Qt::OtherFocusReason);

    const PermissionGuideRules::Explanation e = PermissionGuideRules::explain(granted, access);
    m_dragSymbol->setText(SymbolGlyphs::materialLigature(granted ? QStringLiteral("checkmark.seal.fill")
                                                                   : QStringLiteral("hand.draw.fill")));
    {
        QPalette p = m_dragSymbol->palette();
        p.setColor(QPalette::WindowText, granted ? SettingsStyle::green() : SettingsStyle::orange());
        m_dragSymbol->setPalette(p);
    }
    m_dragTitle->setText(e.title);
    QStringList lines;
    for (const QString& line : e.missing)
        lines << QStringLiteral("• ") + line;
    m_missing->setText(lines.join(QLatin1Char('\n')));
    m_missing->setVisible(!lines.isEmpty());
    m_remedy->setText(e.remedy);
}

void PermissionGuideView::revealDesktopEntry()
{
    const QString path = PermissionGuideRules::desktopEntryPath();
    if (m_opener)
        m_opener->revealFile(path);
}

void PermissionGuideView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_manager)
        m_manager->checkPermission();
}

void PermissionGuideView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_done->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PermissionGuideView::presentSheet(QWidget* window)
{
    const QString name = QStringLiteral("permissionGuideSheet");
    if (window) {
        if (auto* open = window->findChild<QDialog*>(name, Qt::FindDirectChildrenOnly)) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    auto* dialog = new QDialog(window);
    dialog->setObjectName(name);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::NonModal);
    dialog->setWindowTitle(text("permission.guide.title", "系统权限配置与授权引导"));
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new PermissionGuideView(dialog);
    layout->addWidget(view);
    connect(view, &PermissionGuideView::dismissRequested, dialog, &QDialog::accept);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
