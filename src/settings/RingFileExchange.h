#pragma once

#include "model/RingProfile.h"

#include <functional>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// Export and import of ring files from the settings window: the file dialogs,
// the atomic write, and the alerts that report the outcome.
//
// The dialogs go through replaceable hooks so that tests can answer them; the
// defaults are QFileDialog and QMessageBox.
namespace RingFileExchange {

struct Dialogs
{
    // An absolute path, or empty when cancelled. `proposed` is the proposed path.
    std::function<QString(QWidget* parent, const QString& title, const QString& proposed,
                          const QStringList& filters)>
        saveFileName;
    std::function<QString(QWidget* parent, const QString& title, const QStringList& filters)> openFileName;
    // Shows an alert and returns the index of the button pressed (0 for the first).
    std::function<int(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                      const QStringList& buttons)>
        alert;
    // Shows a file selected in the file manager.
    std::function<void(const QString& path)> reveal;
};

// The hooks in use; tests replace members, resetDialogs() brings the defaults back.
Dialogs& dialogs();
void resetDialogs();

// "Rondix ring (*.rondix)", "JSON (*.json)", all files.
QStringList nameFilters();

// Asks where to write `profile`, writes it atomically and reports the outcome.
// Cancelling does nothing. Returns the written path, or empty.
QString exportProfile(QWidget* window, const RingProfile& profile);

// What the import did with a decoded ring: whether it reached the ring store.
using ImportInto = std::function<bool(const RingProfile& ring)>;

// Asks for a ring file, decodes it and, when it is a ring, hands it to `import`
// and reports the outcome. A file that cannot be read or decoded changes nothing.
// Cancelling does nothing. Returns whether a ring was imported.
bool importProfile(QWidget* window, const ImportInto& import, const QString& storePath = {});

} // namespace RingFileExchange
