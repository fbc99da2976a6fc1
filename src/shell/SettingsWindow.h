#pragma once

#include <functional>
#include <QWidget>

// The settings window frame: title, size and placement. Its content comes from
// the content factory (the settings view); a plain label until one is installed.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    using ContentFactory = std::function<QWidget*(QWidget* parent)>;

    explicit SettingsWindow(QWidget* parent = nullptr);

    static void setContentFactory(ContentFactory factory);
    void retranslate();

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
};
