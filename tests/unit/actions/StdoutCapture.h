#pragma once

#include <cstdio>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <unistd.h>

// Captures what the code under test writes to standard output (its log lines).
class StdoutCapture
{
public:
    StdoutCapture()
    {
        m_file.open();
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        dup2(m_file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { restore(); }

    QStringList lines()
    {
        restore();
        m_file.seek(0);
        const QString text = QString::fromUtf8(m_file.readAll());
        // QtTest prints its own messages (QDEBUG, QWARN) here too; keep log lines.
        QStringList result;
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line.startsWith(QLatin1Char('[')))
                result.append(line);
        return result;
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};
