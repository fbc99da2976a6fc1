#pragma once

#include "settings/AppScanner.h"

#include <QList>
#include <QString>
#include <QStringList>

// The curated symbols offered by the icon library, in the order shown.
class SymbolDatabase
{
public:
    SymbolDatabase() = delete;
    static const QStringList& all();
};

// The search rules of the icon library and of the add-application sheet.
namespace IconSearch {

// All symbols for an empty text, else those whose name contains the text as
// typed (not trimmed), ignoring case; order kept.
QStringList filteredSymbols(const QStringList& symbols, const QString& searchText);
// All applications for an empty text, else those whose name, original name or
// id contains the text trimmed of blanks and line breaks, ignoring case; order
// kept. Blanks alone match nothing.
QList<InstalledAppItem> filteredApps(const QList<InstalledAppItem>& apps, const QString& searchText);

} // namespace IconSearch
