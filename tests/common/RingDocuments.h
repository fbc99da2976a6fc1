#pragma once

// Ring documents built to strain the decoder, and the memory a piece of work
// costs; shared by the model tests, the import tests and bench_store.
#include "model/ModelJson.h"
#include "model/RingProfile.h"

#include <functional>
#include <malloc.h>
#include <QFile>
#include <sys/wait.h>
#include <unistd.h>

// The compact document of `ring` with one more member, "extra", holding `value`.
inline QByteArray withExtraMember(const QByteArray& value,
                                  const RingProfile& ring = PresetProfiles::globalDefault())
{
    QByteArray document = encodeRingProfile(ring, JsonLayout::Compact);
    document.chop(1);
    return document + ",\"extra\":" + value + "}";
}

// A ring document of `size` bytes (less at most one unit) whose member "extra"
// holds `unit` repeated between `open` and `close`.
inline QByteArray filledTo(qsizetype size, const QByteArray& open, const QByteArray& unit,
                           const QByteArray& close, const RingProfile& ring = PresetProfiles::globalDefault())
{
    const qsizetype count = (size - withExtraMember(open + close, ring).size()) / unit.size();
    return withExtraMember(open + unit.repeated(count) + close, ring);
}

// Peak resident memory that `work` adds, in KiB, or -1. It runs in a child
// process whose high-water mark is reset first (a forked child inherits the
// parent's), so earlier work in this process does not hide it.
inline long peakMemoryKiB(const std::function<void()>& work)
{
    int channel[2];
    if (pipe(channel) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        const auto statusValue = [](const char* key) {
            QFile status(QStringLiteral("/proc/self/status"));
            if (status.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : status.readAll().split('\n')) {
                    if (line.startsWith(key))
                        return line.mid(qstrlen(key)).trimmed().split(' ').first().toLong();
                }
            }
            return -1L;
        };
        // Memory freed earlier but still resident would otherwise be reused unseen.
        malloc_trim(0);
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        long grown = -1;
        if (clear.open(QIODevice::WriteOnly) && clear.write("5") == 1) {
            clear.close();
            const long before = statusValue("VmRSS:");
            work();
            grown = statusValue("VmHWM:") - before;
        }
        (void)!write(channel[1], &grown, sizeof grown);
        _exit(0);
    }
    close(channel[1]);
    long grown = -1;
    if (pid < 0 || read(channel[0], &grown, sizeof grown) != sizeof grown)
        grown = -1;
    close(channel[0]);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    return grown;
}
