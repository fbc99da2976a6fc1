#pragma once

#include <QObject>
#include <QUrl>

// Opens URLs and paths with the user's default handlers.
class Opener : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A web address (or any URL) with its default handler.
    virtual bool openUrl(const QUrl& url) = 0;
    // A folder in the file manager (or any path with its default handler).
    virtual bool openPath(const QString& path) = 0;
    // Shows a file selected in the file manager; falls back to opening its folder.
    virtual bool revealFile(const QString& path) = 0;
};
