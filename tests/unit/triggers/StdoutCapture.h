#pragma once

#include <cstdio>
#include <functional>
#include <QTemporaryFile>
#include <unistd.h>

// Runs `fn` with standard output sent to a file and returns what it wrote.
inline QString captureStdout(const std::function<void()>& fn)
{
    QTemporaryFile file;
    file.open();
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    QFile read(file.fileName());
    return read.open(QIODevice::ReadOnly) ? QString::fromUtf8(read.readAll()) : QString();
}
