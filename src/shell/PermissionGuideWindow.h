#pragma once

#include <functional>
#include <QWidget>

// A window hosting the permission guide; a new one is made for every request.
class PermissionGuideWindow : public QWidget
{
    Q_OBJECT
public:
    using ContentFactory = std::function<QWidget*(QWidget* parent)>;

    explicit PermissionGuideWindow(QWidget* parent = nullptr);

    static void setContentFactory(ContentFactory factory);
};
