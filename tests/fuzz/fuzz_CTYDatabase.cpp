// libFuzzer target: any country file must parse or fail with an error, never crash or hang.
#include "CTYDatabase.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

using namespace varnello;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const CTYDatabase::ParseResult result = CTYDatabase::parse(bytes);
    if (result.database) {
        const CTYDatabase &db = *result.database;
        (void)db.lookup(u"DL1ABC/P");
        if (!db.prefixRules().empty())
            (void)db.lookup(db.prefixRules().front().key + QStringLiteral("1A/MM"));
    } else if (result.error) {
        (void)result.error->description();
    }
    return 0;
}
