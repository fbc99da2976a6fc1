// Installed-application scan: 1,000 desktop entries read through the GIO
// backend from a generated data folder. Prints each figure beside its target.
#include "BenchTiming.h"
#include "platform/freedesktop/GioDesktopEntries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int kEntries = 1000;
constexpr double kScanTargetMs = 100;

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
    qsizetype found = 0;
    const BenchTiming cold = measure(1, [&] { found = entries.allApplications().size(); });
    if (found != kEntries) {
        QTextStream(stderr) << "the scan found " << found << " entries instead of " << kEntries << "\n";
        return 1;
    }
    reportTiming(out, QStringLiteral("app scan, 1,000 entries, first"), cold, kScanTargetMs);

    const BenchTiming warm = measure(20, [&] { found = entries.allApplications().size(); });
    reportTiming(out, QStringLiteral("app scan, 1,000 entries, repeated"), warm, kScanTargetMs);
    return found == kEntries ? 0 : 1;
}
