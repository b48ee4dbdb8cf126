#include "PublicAddressSource.h"

#include <QStringList>

namespace varnello {

bool PublicAddressSource::isIPv4Address(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        if (part.isEmpty())
            return false;
        int value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            value = value * 10 + (c.unicode() - '0');
            if (value > 255) // also keeps a long run of digits from overflowing
                return false;
        }
    }
    return true;
}

} // namespace varnello
