// A realistic node transcript for the receive-path benchmarks: what a busy DXSpider node sends a
// user, line by line, in proportions seen on real nodes.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace varnello {
class CTYDatabase;
}

namespace varnello::bench {

// The program's built-in country file, loaded once.
const CTYDatabase &builtInCountryDatabase();

// Lines (without line ends) of the mix: 55 % skimmer CW and RTTY spots with "-#" spotters, 20 %
// FT8, 12 % SSB with locators, 5 % beacons and odd calls, 8 % other lines (announcements, WWV,
// talk, prompts); some comments in Cyrillic. DX calls are drawn from the country file's prefixes
// when a database is given. The same seed gives the same lines.
QStringList realisticNodeLines(qsizetype count, quint32 seed, const CTYDatabase *database);

// The lines joined with CR LF, as the node writes them.
QByteArray joinedWithCrLf(const QStringList &lines);

} // namespace varnello::bench
