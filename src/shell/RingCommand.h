#pragma once

#include <QStringList>

class QTextStream;

// "rondix ring validate|export|import ...": ring files from the command line.
// `args` are the words after "ring". Needs no display and no running Rondix;
// the ring store is the one in $XDG_DATA_HOME/Rondix. Returns the exit status:
// 0 done, 1 failed, 2 usage error.
int runRingCommand(const QStringList& args, QTextStream& out, QTextStream& err);
