#pragma once

#include <QStringList>

class QTextStream;

// "rondix market list|install ...": the ring market from the command line.
// `args` are the words after "market". An install goes through the running
// Rondix over D-Bus when there is one, so its rings and market tab stay in step;
// otherwise it writes the ring store itself. Needs an event loop (a
// QCoreApplication). Returns 0 done, 1 failed, 2 usage error.
int runMarketCommand(const QStringList& args, QTextStream& out, QTextStream& err);
