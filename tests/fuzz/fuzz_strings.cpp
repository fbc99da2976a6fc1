// String tables: the reader may refuse anything, but never crashes, keeps
// nothing of a refused table, and names the line with an escaped message.
#include "FuzzCheck.h"
#include "l10n/StringsFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QString source = QStringLiteral("fuzz.lproj/Localizable.strings");
    const StringsFileReader::Result result = StringsFileReader::parse(bytes, source);
    if (result.ok()) {
        FUZZ_CHECK(result.errorLine == 0, result.error);
        return 0;
    }
    FUZZ_CHECK(result.entries.isEmpty(), "entries kept from a refused table");
    FUZZ_CHECK(result.errorLine >= 1 && result.errorLine <= bytes.count('\n') + 1,
               QString::number(result.errorLine));
    FUZZ_CHECK(result.error.startsWith(source + QLatin1Char(':') + QString::number(result.errorLine) +
                                       QStringLiteral(": ")),
               result.error);
    FUZZ_CHECK(printable(result.error), result.error);
    return 0;
}
