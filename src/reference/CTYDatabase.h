#pragma once

#include "CTYDatabaseError.h"
#include "CTYResult.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

namespace varnello {

struct CTYParseResult;

// The parsed country file (CTY_WT.DAT): one immutable value. Copies are cheap (the data is shared)
// and may be read from any thread without locking. A default-constructed database is empty.
class CTYDatabase final {
public:
    // One prefix or exact-callsign token of the file, with its overrides applied.
    struct Rule {
        QString key; // upper case, overrides removed
        bool isExactCallsign = false;
        int sequence = 0; // running number of the token in the whole file, from 0
        CTYResult result;

        friend bool operator==(const Rule &, const Rule &) = default;
    };

    using ParseResult = CTYParseResult;

    CTYDatabase();

    // Reads and parses a file (a path, or a ":/resources/..." resource path). The bytes are
    // decoded as UTF-8, else as Latin-1.
    static ParseResult load(const QString &path);
    // Decodes raw file bytes the same way load() does, then parses them.
    static ParseResult parse(const QByteArray &bytes);
    // Parses text that is already decoded.
    static ParseResult parse(const QString &text);

    // The country data of a callsign as a spot carries it (any case, portable prefixes and
    // suffixes, skimmer "-#" marks); nullopt when nothing in the file matches.
    std::optional<CTYResult> lookup(QStringView callsign) const;
    // The same answer without a copy; the pointer stays valid while any copy of this database
    // exists.
    const CTYResult *find(QStringView callsign) const;

    // The candidate orders the lookup tries; exposed for tests.
    static QStringList exactLookupCandidates(QStringView callsign);
    static QStringList prefixLookupCandidates(QStringView callsign);

    // Entities sorted by name (localised, case-insensitive), one per entity header.
    const QList<CTYEntity> &entities() const;
    int entityCount() const;
    int ruleCount() const; // prefix rules + exact rules kept
    std::optional<QString> release() const;

    // Every prefix rule, longest key first, then in file order.
    const std::vector<Rule> &prefixRules() const;
    // Every exact rule kept (the first definition of each callsign), in file order.
    const std::vector<Rule> &exactRules() const;

    bool isEmpty() const { return ruleCount() == 0 && entityCount() == 0; }
    // Whether both are copies of one parsed file (not merely equal contents).
    bool sharesDataWith(const CTYDatabase &other) const { return d == other.d; }

    struct Data; // opaque: the parsed tables and the lookup index
    explicit CTYDatabase(std::shared_ptr<const Data> data);

private:
    std::shared_ptr<const Data> d;
};

// Either a database or the reason there is none; never both.
struct CTYParseResult {
    std::optional<CTYDatabase> database;
    std::optional<CTYDatabaseError> error;
    explicit operator bool() const { return database.has_value(); }
};

} // namespace varnello
