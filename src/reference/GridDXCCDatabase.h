#pragma once

#include "DistanceUnit.h"

#include <QFuture>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringView>
#include <QThreadPool>
#include <memory>
#include <optional>

namespace varnello {

class GridLookupTables;

// Finds the DXCC entities within a radius of a Maidenhead grid square, from the two built-in
// tables of grid squares (4 characters) and subsquares (6 characters). The tables are read for
// each search, or kept in memory between retainCachedTables() and releaseCachedTables() while
// the spotter-entity sheet is open.
class GridDXCCDatabase final {
public:
    struct DatabaseError {
        enum class Kind { missingResource, unreadableResource, malformedResource, invalidGrid };
        Kind kind = Kind::invalidGrid;
        QString resourceName; // without extension, for the three resource errors

        static DatabaseError missingResource(const QString &name)
        {
            return {Kind::missingResource, name};
        }
        static DatabaseError unreadableResource(const QString &name)
        {
            return {Kind::unreadableResource, name};
        }
        static DatabaseError malformedResource(const QString &name)
        {
            return {Kind::malformedResource, name};
        }
        static DatabaseError invalidGrid() { return {Kind::invalidGrid, {}}; }

        // The sentence shown to the user.
        QString description() const;
        friend bool operator==(const DatabaseError &, const DatabaseError &) = default;
    };

    // Either the set of ADIF numbers found or the reason for failing; never a partial set.
    struct SearchResult {
        QSet<int> adifNumbers;
        std::optional<DatabaseError> error;
        explicit operator bool() const { return !error.has_value(); }
    };

    static constexpr const char *fourCharacterTableName = "grid_dxcc_4char_simple";
    static constexpr const char *sixCharacterTableName = "grid_dxcc_6char_simple";

    GridDXCCDatabase();
    ~GridDXCCDatabase();
    Q_DISABLE_COPY_MOVE(GridDXCCDatabase)

    // The process-wide instance, created on first use.
    static GridDXCCDatabase &shared();

    // Runs the search on a worker thread; the future is finished with the result. The instance
    // waits for its running searches when it goes away.
    QFuture<SearchResult> entitiesWithinRadiusOfGrid(const QString &grid, double radius,
                                                     DistanceUnit unit);
    // The same search on the calling thread.
    SearchResult searchNow(const QString &grid, double radius, DistanceUnit unit);

    static bool isValidGrid(QStringView grid);
    // Centre of a valid grid (latitude, longitude in degrees); nullopt for an invalid grid.
    static std::optional<std::pair<double, double>> coordinatesOfGrid(QStringView grid);

    void retainCachedTables();
    void releaseCachedTables();
    bool hasCachedTables() const;

    // How many times the tables were read from the resources (for tests and diagnostics).
    int tableLoadCount() const;

private:
    struct TablesOrError;
    TablesOrError tables();

    mutable QMutex m_lock;
    std::shared_ptr<const GridLookupTables> m_cachedTables; // guarded by m_lock
    bool m_shouldRetainCachedTables = false;                // guarded by m_lock
    int m_tableLoadCount = 0;                               // guarded by m_lock
    // The searches' threads; last, so that it waits for them before anything they use goes.
    QThreadPool m_searches;
};

} // namespace varnello
