#include <QApplication>
#include <QTest>

int runExecutorTests(int argc, char** argv);
int runVolumeTests(int argc, char** argv);
int runVolumeIndicatorTests(int argc, char** argv);
int runUserScriptTests(int argc, char** argv);
int runPlatformServicesTests(int argc, char** argv);

// One executable for the actions area; each class runs in turn.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    failures += runExecutorTests(argc, argv);
    failures += runVolumeTests(argc, argv);
    failures += runVolumeIndicatorTests(argc, argv);
    failures += runUserScriptTests(argc, argv);
    failures += runPlatformServicesTests(argc, argv);
    return failures;
}
