// Installed-application scan: 1,000 desktop entries read through the GIO
// backend from a generated data folder, named and sorted as the icon library
// lists them. Prints each figure beside its target.
#include "BenchTiming.h"
#include "platform/Platform.h"
#include "platform/freedesktop/GioDesktopEntries.h"
#include "settings/AppScanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>

namespace {

constexpr int kEntries = 1000;
constexpr double kScanTargetMs = 100;

// Processor time of this process, which other processes on the machine
// barely change (unlike the wall clock on a loaded machine).
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

bool writeEntries(const QString& applications)
{
    if (!QDir().mkpath(applications))
        return false;
    for (int i = 0; i < kEntries; ++i) {
        QFile file(QStringLiteral("%1/org.example.App%2.desktop").arg(applications).arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QString entry = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Example App %1\n"
                                             "Name[de]=Beispiel %1\n"
                                             "Name[zh_CN]=示例 %1\n"
                                             "Comment=Generated for the application scan benchmark\n"
                                             "Icon=applications-other\n"
                                             "Exec=true %U\n"
                                             "StartupWMClass=example-app-%1\n"
                                             "Categories=Utility;\n")
                                  .arg(i);
        if (file.write(entry.toUtf8()) < 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!dir.isValid() || !writeEntries(dir.filePath(QStringLiteral("share/applications")))) {
        QTextStream(stderr) << "cannot generate the desktop entries\n";
        return 1;
    }
    // GIO reads the data folders once, on first use: set them before anything
    // touches it, and leave the user's own entries out.
    qputenv("XDG_DATA_DIRS", dir.filePath(QStringLiteral("share")).toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toUtf8());
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    reportSystemLoad(out);

    GioDesktopEntries entries;
    Platform platform;
    platform.desktopEntries = &entries;
    Platform::setInstance(&platform);

    // The scan the settings window makes: GIO's listing, the file manager,
    // the duplicate check and the sort by the user's collation.
    qsizetype found = 0;
    const BenchTiming cold = measure(1, [&] { found = AppScanner::scanInstalledApps(true).size(); });
    if (found != kEntries) {
        QTextStream(stderr) << "the scan found " << found << " entries instead of " << kEntries << "\n";
        return 1;
    }
    reportTiming(out, QStringLiteral("app scan, 1,000 entries, first"), cold, kScanTargetMs);

    const double cpuBefore = cpuMs();
    const BenchTiming warm = measure(20, [&] { found = AppScanner::scanInstalledApps(true).size(); });
    const double cpuPerScan = (cpuMs() - cpuBefore) / warm.runs;
    reportTiming(out, QStringLiteral("app scan, 1,000 entries, repeated"), warm, kScanTargetMs);
    // Breakdown: GIO's listing alone.
    const BenchTiming listing = measure(20, [&] { entries.allApplications(); });
    reportTiming(out, QStringLiteral("  of which GIO listing"), listing, 0);
    out << QStringLiteral("  processor time per scan: %1 ms\n").arg(cpuPerScan, 0, 'f', 2);
    const BenchTiming cached = measure(20, [&] { found = AppScanner::scanInstalledApps(false).size(); });
    reportTiming(out, QStringLiteral("app scan, 1,000 entries, cached"), cached, 1);
    return found == kEntries ? 0 : 1;
}
