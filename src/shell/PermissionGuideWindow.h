#pragma once

#include <functional>
#include <QWidget>

// A window hosting the permission guide, for requests made while no settings
// window is open; with one open, the guide is a sheet on it instead.
class PermissionGuideWindow : public QWidget
{
    Q_OBJECT
public:
    // The content; it may close its window (its Done button).
    using ContentFactory = std::function<QWidget*(QWidget* parent)>;
    using SheetPresenter = std::function<void(QWidget* window)>;

    explicit PermissionGuideWindow(QWidget* parent = nullptr);

    static void setContentFactory(ContentFactory factory);
    // Shows the guide as a sheet on an open settings window.
    static void setSheetPresenter(SheetPresenter presenter);
    static const SheetPresenter& sheetPresenter();

protected:
    // Escape closes the guide, as it closes the sheet.
    void keyPressEvent(QKeyEvent* event) override;
};
