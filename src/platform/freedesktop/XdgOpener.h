#pragma once

#include "platform/Opener.h"

// Opens URLs and paths with xdg-open (the user's default handlers) and reveals
// files through the file manager's FileManager1 D-Bus interface.
class XdgOpener : public Opener
{
    Q_OBJECT
public:
    using Opener::Opener;

    bool openUrl(const QUrl& url) override;
    bool openPath(const QString& path) override;
    bool revealFile(const QString& path) override;

private:
    bool runXdgOpen(const QString& argument);
};
