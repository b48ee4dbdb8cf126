#include "NetworkText.h"

namespace varnello {

namespace {

enum class Treatment { keep, blank, drop };

Treatment treatmentOf(char16_t u)
{
    if (u >= 0x20 && u < 0x7F)
        return Treatment::keep;
    switch (u) {
    case u'\t':
    case u'\n':
    case 0x0B:
    case 0x0C:
    case u'\r':
    case 0x85:
    case 0x2028:
    case 0x2029:
        return Treatment::blank;
    case 0x061C: // Arabic letter mark
    case 0x200E: // left-to-right mark
    case 0x200F: // right-to-left mark
        return Treatment::drop;
    default:
        break;
    }
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        return Treatment::drop;
    // Embeddings and overrides (U+202A-202E), isolates (U+2066-2069).
    if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
        return Treatment::drop;
    return Treatment::keep;
}

} // namespace

bool needsNetworkDisplayCleaning(QStringView text)
{
    for (const QChar c : text) {
        if (treatmentOf(c.unicode()) != Treatment::keep)
            return true;
    }
    return false;
}

QString networkDisplayText(const QString &text)
{
    if (!needsNetworkDisplayCleaning(text))
        return text;
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (treatmentOf(c.unicode())) {
        case Treatment::keep:
            result.append(c);
            break;
        case Treatment::blank:
            result.append(QLatin1Char(' '));
            break;
        case Treatment::drop:
            break;
        }
    }
    return result;
}

QString networkDisplayLines(const QStringList &lines)
{
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString &line : lines)
        shown.append(networkDisplayText(line));
    return shown.join(u'\n');
}

} // namespace varnello
