#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace varnello {

// A data file's day in the locale's long style without the weekday ("5 March 2026" in a British
// locale). The day is formatted as a date, never through a time zone, so it never shifts.
QString longDateText(const QDate &date, const QLocale &locale = QLocale());

} // namespace varnello
