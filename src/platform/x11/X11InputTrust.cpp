#include "platform/x11/X11InputTrust.h"

#include "platform/x11/X11Connection.h"

#include <QStringList>

QString X11InputTrust::missingReason()
{
    QStringList missing;
    if (!m_conn->hasXTest())
        missing << QStringLiteral("the X server lacks the XTEST extension");
    if (!m_conn->hasXInput22())
        missing << QStringLiteral("the X server lacks XInput 2.2");
    return missing.join(QStringLiteral("; "));
}

InputAccess X11InputTrust::access()
{
    return {InputAccess::Session::X11, m_conn->hasXTest(), m_conn->hasXInput22()};
}
