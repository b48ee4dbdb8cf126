#include "DataFileDates.h"

#include <QRegularExpression>

namespace varnello {

QString longDateText(const QDate &date, const QLocale &locale)
{
    // The long format names the weekday in most locales ("dddd, d MMMM yyyy"); drop that token
    // with the separator that joins it to the rest.
    static const QRegularExpression weekdayFirst(QStringLiteral("^\\s*d{3,4}[\\s,.]*"));
    static const QRegularExpression weekdayElsewhere(QStringLiteral("[\\s,]*\\bd{3,4}\\b[\\s,.]*"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekdayFirst);
    format.replace(weekdayElsewhere, QStringLiteral(" "));
    format = format.trimmed();
    return locale.toString(date, format);
}

} // namespace varnello
