#pragma once

#include "platform/Clipboard.h"

// The X11 CLIPBOARD selection through Qt. Qt keeps serving the text to other
// clients for as long as Rondix runs, so a paste after the write still finds it.
class QtClipboard : public Clipboard
{
    Q_OBJECT
public:
    using Clipboard::Clipboard;

    void setText(const QString& text) override;
    QString text() override;
};
