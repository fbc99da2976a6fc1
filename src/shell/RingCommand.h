#pragma once

#include <QStringList>

class QTextStream;

// "rondix ring validate|export|import ...": ring files from the command line.
// `args` are the words after "ring". Needs no display and no running Rondix;
// the ring store is the one in $XDG_DATA_HOME/Rondix (an import goes through the
// running Rondix when there is one). Returns the exit status:
// 0 done, 1 failed, 2 usage error.
int runRingCommand(const QStringList& args, QTextStream& out, QTextStream& err);

#include <optional>

class AppProfileManager;
struct RingProfile;

// Imports `incoming` into `store` and checks that it reached the disk. Returns
// what happened ("Replaced ring "Mail" for org.example.Mail"), or none with
// *error set. Shared by the command line and the running instance.
std::optional<QString> importRingInto(AppProfileManager& store, const RingProfile& incoming, QString* error);

// Why the ring store under `dataDirectory` must not be touched from the command
// line (it cannot be read or decoded, and opening it would reset it), or none.
std::optional<QString> damagedStore(const QString& dataDirectory);
