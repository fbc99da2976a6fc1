#include "shell/PermissionGuideWindow.h"

#include "l10n/L10n.h"
#include "shell/WindowHints.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {
PermissionGuideWindow::ContentFactory& contentFactory()
{
    static PermissionGuideWindow::ContentFactory factory;
    return factory;
}

PermissionGuideWindow::SheetPresenter& presenter()
{
    static PermissionGuideWindow::SheetPresenter p;
    return p;
}
} // namespace

PermissionGuideWindow::PermissionGuideWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("RondixPermissionGuideWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(
        L10n::string(QStringLiteral("permission.guide.title"), QStringLiteral("系统权限配置与授权引导")));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = contentFactory() ? contentFactory()(this) : nullptr;
    if (!content) {
        auto* label = new QLabel(windowTitle(), this);
        label->setAlignment(Qt::AlignCenter);
        content = label;
    }
    layout->addWidget(content);

    setFixedSize(sizeHint().expandedTo(QSize(540, 480)));
    WindowHints::centreOnPrimaryScreen(this);
}

void PermissionGuideWindow::setContentFactory(ContentFactory factory)
{
    contentFactory() = std::move(factory);
}

void PermissionGuideWindow::setSheetPresenter(SheetPresenter p)
{
    presenter() = std::move(p);
}

const PermissionGuideWindow::SheetPresenter& PermissionGuideWindow::sheetPresenter()
{
    return presenter();
}

void PermissionGuideWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
