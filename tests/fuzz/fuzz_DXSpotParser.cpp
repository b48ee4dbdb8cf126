// libFuzzer target: any line a node might send must give a result, never a crash or a hang.
#include "CTYDatabase.h"
#include "DXSpotParser.h"
#include "SpotTypeClassifier.h"

#include <QCoreApplication>
#include <QString>
#include <cstddef>
#include <cstdint>

using namespace varnello;

namespace {
const CTYDatabase &database()
{
    static const CTYDatabase db = CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat"))
                                      .database.value_or(CTYDatabase());
    return db;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Lines reach the parser already decoded, with invalid UTF-8 repaired.
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto result = DXSpotParser::parse(line, &database());
    if (result.spot) {
        (void)classifySpotType(*result.spot);
        (void)result.spot->frequencyText();
        (void)DXSpotParser::bandName(result.spot->frequency);
    }
    // Also fuzz the lookup on its own with the raw text as a callsign.
    (void)database().lookup(line);
    return 0;
}
