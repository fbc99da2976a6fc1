#pragma once

// The log lines ("[Component] ...") the code under test writes to standard output.
#include <cstdio>
#include <functional>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryFile>
#include <unistd.h>

// Sends standard output to a file from construction until lines() (or the end of its scope).
class StdoutCapture
{
public:
    StdoutCapture()
    {
        m_file.open();
        std::fflush(stdout);
        dup2(m_file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { text(); }

    // Ends the capture and returns all that was written.
    QString text()
    {
        std::fflush(stdout);
        if (m_saved >= 0) {
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
            m_saved = -1;
        }
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }
    // Ends the capture; QtTest's own messages that went there too are left out.
    QStringList lines()
    {
        static const QRegularExpression logLine(QStringLiteral("^\\["));
        return text().split(QLatin1Char('\n')).filter(logLine);
    }

private:
    QTemporaryFile m_file;
    int m_saved = dup(STDOUT_FILENO);
};

// Runs `fn` with standard output sent to a file and returns what it wrote.
inline QString captureStdout(const std::function<void()>& fn)
{
    StdoutCapture capture;
    fn();
    return capture.text();
}
