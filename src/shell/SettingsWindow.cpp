#include "shell/SettingsWindow.h"

#include "l10n/L10n.h"
#include "shell/WindowHints.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {
SettingsWindow::ContentFactory& contentFactory()
{
    static SettingsWindow::ContentFactory factory;
    return factory;
}
} // namespace

SettingsWindow::SettingsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("RondixSettingsWindow"));
    retranslate();
    connect(&L10n::shared(), &L10n::languageChanged, this, &SettingsWindow::retranslate);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = contentFactory() ? contentFactory()(this) : nullptr;
    if (!content) {
        auto* label = new QLabel(this);
        label->setAlignment(Qt::AlignCenter);
        label->setText(windowTitle());
        content = label;
    }
    layout->addWidget(content);

    setMinimumSize(940, 660);
    resize(980, 700);
    WindowHints::centreOnPrimaryScreen(this);
}

void SettingsWindow::setContentFactory(ContentFactory factory)
{
    contentFactory() = std::move(factory);
}

void SettingsWindow::retranslate()
{
    setWindowTitle(
        L10n::string(QStringLiteral("menubar.settings_window_title"), QStringLiteral("Rondix 轮盘设置")));
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    QWidget::closeEvent(event);
}
