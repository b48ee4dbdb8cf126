#include "GridDXCCDatabase.h"
#include "GridDXCCDatabaseTables.h"

#include "BundledResources.h"

#include <QFile>
#include <QMutexLocker>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>
#include <numbers>
#include <vector>

namespace varnello {

namespace {

constexpr double earthRadiusKm = 6371.0088;
constexpr double earthDiameterKm = 12742.0176;
constexpr int cellRows = 4320;
constexpr int cellColumns = 4320;
// The built-in tables are 10 MB together; a resource far beyond that is not a grid table.
constexpr qint64 maxTableBytes = 256 * 1024 * 1024;

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

double haversineKm(double nearestLat, double homeLat, double dLonDeg)
{
    const double sinLon = std::sin(radians(dLonDeg) / 2);
    const double sinLat = std::sin(radians(nearestLat - homeLat) / 2);
    const double a = std::cos(radians(nearestLat)) * std::cos(radians(homeLat)) * sinLon * sinLon +
                     sinLat * sinLat;
    return earthDiameterKm * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
}

bool isValidUtf8(const QByteArray &bytes)
{
    bool ascii = true;
    for (char c : bytes)
        ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return true;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(bytes); // the conversion runs on assignment
    return !decoder.hasError();
}

std::optional<GridDXCCDatabase::DatabaseError> loadTable(const QString &name, GridTable &table)
{
    using Error = GridDXCCDatabase::DatabaseError;
    const std::optional<QString> path = BundledResources::url(name, QStringLiteral("csv"));
    if (!path)
        return Error::missingResource(name);
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxTableBytes)
        return Error::unreadableResource(name);
    const QByteArray bytes = file.read(maxTableBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxTableBytes || !isValidUtf8(bytes))
        return Error::unreadableResource(name);
    if (!table.parse(bytes))
        return Error::malformedResource(name);
    return std::nullopt;
}

// Marks ADIF numbers found; small numbers (all real ones) in a flag array, others in a set.
class EntitySet {
public:
    void add(const GridTable &table, int32_t entry)
    {
        int32_t count = 0;
        const int32_t *numbers = table.entryNumbers(entry, &count);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t n = numbers[i];
            if (n >= 0 && n < int32_t(m_small.size()))
                m_small[size_t(n)] = true;
            else
                m_large.insert(n);
        }
    }
    QSet<int> result() const
    {
        QSet<int> out = m_large;
        for (size_t n = 0; n < m_small.size(); ++n) {
            if (m_small[n])
                out.insert(int(n));
        }
        return out;
    }

private:
    std::vector<bool> m_small = std::vector<bool>(4096, false);
    QSet<int> m_large;
};

QSet<int> searchTables(const GridLookupTables &tables, double homeLat, double homeLon,
                       double radiusKm)
{
    const double dLat = (radiusKm / earthRadiusKm) * 180.0 / std::numbers::pi;
    double cosHome = std::cos(radians(homeLat));
    const double dLon = std::min(dLat / std::max(cosHome, 0.01), 180.0);

    const double rowHeight = 1.0 / 24.0;
    const double columnWidth = 1.0 / 12.0;
    const int firstRow =
        std::max(0, int(std::floor((std::max(homeLat - dLat, -90.0) + 90.0) / rowHeight)));
    const int lastRow = std::min(
        cellRows - 1, int(std::floor((std::min(homeLat + dLat, 90.0) + 90.0) / rowHeight)));
    const int firstColumn = int(std::floor((homeLon - dLon + 180.0) / columnWidth));
    const int lastColumn = int(std::floor((homeLon + dLon + 180.0) / columnWidth));

    // The longitude part of the distance depends on the column only: work it out once per
    // column. Columns repeat after a full turn.
    struct Column {
        int wrapped;
        double sinHalfDLonSquared;
        int squarePart;
        int subsquarePart;
    };
    std::vector<Column> columns;
    columns.reserve(size_t(lastColumn - firstColumn + 1));
    for (int c = firstColumn; c <= lastColumn; ++c) {
        const int w = ((c % cellColumns) + cellColumns) % cellColumns;
        const double lonMin = w / 12.0 - 180.0;
        const double lonMax = lonMin + columnWidth;
        double lon = homeLon;
        while (lon < lonMin - 180.0)
            lon += 360.0;
        while (lon > lonMax + 180.0)
            lon -= 360.0;
        double dLonDeg = std::clamp(lon, lonMin, lonMax) - homeLon;
        while (dLonDeg > 180.0)
            dLonDeg -= 360.0;
        while (dLonDeg < -180.0)
            dLonDeg += 360.0;
        const double s = std::sin(radians(dLonDeg) / 2);
        columns.push_back(
            {w, s * s, GridTable::squareNumber(w / 240, 0, (w % 240) / 24, 0), (w % 24) * 24});
    }

    const GridTable &six = tables.sixCharacter;
    const GridTable &four = tables.fourCharacter;
    const bool useSix = six.hasRows();
    // A cell counts when its haversine term a is small enough. The comparison is done on a
    // (monotonic in the distance); near the limit the distance itself decides.
    const double limitAngle = radiusKm / earthDiameterKm;
    const bool everything = limitAngle >= std::numbers::pi / 2;
    const double aLimit = everything ? 2.0 : std::pow(std::sin(limitAngle), 2);
    const double margin = 1e-12;

    EntitySet found;
    for (int r = firstRow; r <= lastRow; ++r) {
        const double latMin = r / 24.0 - 90.0;
        const double latMax = latMin + rowHeight;
        const double nearestLat = std::clamp(homeLat, latMin, latMax);
        const double sinLat = std::sin(radians(nearestLat - homeLat) / 2);
        const double sinLatSquared = sinLat * sinLat;
        const double cosProduct = std::cos(radians(nearestLat)) * cosHome;
        const int rowSquare = GridTable::squareNumber(0, r / 240, 0, (r % 240) / 24);
        const int rowSubsquare = r % 24;
        for (const Column &col : columns) {
            if (!everything) {
                const double a = cosProduct * col.sinHalfDLonSquared + sinLatSquared;
                if (a > aLimit + margin)
                    continue;
                if (a >= aLimit - margin) {
                    const double lonMin = col.wrapped / 12.0 - 180.0;
                    double lon = homeLon;
                    while (lon < lonMin - 180.0)
                        lon += 360.0;
                    while (lon > lonMin + columnWidth + 180.0)
                        lon -= 360.0;
                    double dLonDeg = std::clamp(lon, lonMin, lonMin + columnWidth) - homeLon;
                    while (dLonDeg > 180.0)
                        dLonDeg -= 360.0;
                    while (dLonDeg < -180.0)
                        dLonDeg += 360.0;
                    if (!(haversineKm(nearestLat, homeLat, dLonDeg) <= radiusKm))
                        continue;
                }
            }
            const int square = col.squarePart + rowSquare;
            if (useSix) {
                const int32_t entry = six.subsquareEntry(square, col.subsquarePart + rowSubsquare);
                if (entry >= 0) {
                    found.add(six, entry);
                    continue;
                }
            }
            const int32_t entry = four.squareEntry(square);
            if (entry >= 0)
                found.add(four, entry);
        }
    }
    return found.result();
}

} // namespace

struct GridDXCCDatabase::TablesOrError {
    std::shared_ptr<const GridLookupTables> tables;
    std::optional<DatabaseError> error;
};

QString GridDXCCDatabase::DatabaseError::description() const
{
    switch (kind) {
    case Kind::missingResource:
        return resourceName + QStringLiteral(".csv is missing from the program's built-in data.");
    case Kind::unreadableResource:
        return resourceName + QStringLiteral(".csv could not be read.");
    case Kind::malformedResource:
        return resourceName + QStringLiteral(".csv contains invalid data.");
    case Kind::invalidGrid:
        return QStringLiteral("Enter a valid four- or six-character Maidenhead grid square.");
    }
    return {};
}

GridDXCCDatabase::GridDXCCDatabase() = default;
GridDXCCDatabase::~GridDXCCDatabase()
{
    m_searches.waitForDone();
}

GridDXCCDatabase &GridDXCCDatabase::shared()
{
    static GridDXCCDatabase instance;
    return instance;
}

bool GridDXCCDatabase::isValidGrid(QStringView grid)
{
    return coordinatesOfGrid(grid).has_value();
}

std::optional<std::pair<double, double>> GridDXCCDatabase::coordinatesOfGrid(QStringView input)
{
    const QString grid = input.trimmed().toString().toUpper();
    if (grid.size() != 4 && grid.size() != 6)
        return std::nullopt;
    auto letter = [&](int i, char16_t last) {
        const char16_t c = grid[i].unicode();
        return (c >= u'A' && c <= last) ? int(c - u'A') : -1;
    };
    auto digit = [&](int i) {
        const int v = grid[i].digitValue();
        return (v >= 0 && v <= 9) ? v : -1;
    };
    const int c1 = letter(0, u'R');
    const int c2 = letter(1, u'R');
    const int d3 = digit(2);
    const int d4 = digit(3);
    if (c1 < 0 || c2 < 0 || d3 < 0 || d4 < 0)
        return std::nullopt;
    double lat = c2 * 10.0 - 90.0 + d4;
    double lon = c1 * 20.0 - 180.0 + 2.0 * d3;
    if (grid.size() == 4) {
        lat += 0.5;
        lon += 1.0;
    } else {
        const int c5 = letter(4, u'X');
        const int c6 = letter(5, u'X');
        if (c5 < 0 || c6 < 0)
            return std::nullopt;
        lat += c6 / 24.0 + 1.0 / 48.0;
        lon += c5 / 12.0 + 1.0 / 24.0;
    }
    return std::make_pair(lat, lon);
}

void GridDXCCDatabase::retainCachedTables()
{
    QMutexLocker locker(&m_lock);
    m_shouldRetainCachedTables = true;
}

void GridDXCCDatabase::releaseCachedTables()
{
    QMutexLocker locker(&m_lock);
    m_shouldRetainCachedTables = false;
    m_cachedTables.reset();
}

bool GridDXCCDatabase::hasCachedTables() const
{
    QMutexLocker locker(&m_lock);
    return m_cachedTables != nullptr;
}

int GridDXCCDatabase::tableLoadCount() const
{
    QMutexLocker locker(&m_lock);
    return m_tableLoadCount;
}

GridDXCCDatabase::TablesOrError GridDXCCDatabase::tables()
{
    {
        QMutexLocker locker(&m_lock);
        if (m_cachedTables)
            return {m_cachedTables, std::nullopt};
        ++m_tableLoadCount;
    }
    // Read without the lock: a second search may load at the same time; the first to store
    // its tables wins.
    auto loaded = std::make_shared<GridLookupTables>();
    if (auto error = loadTable(QLatin1String(fourCharacterTableName), loaded->fourCharacter))
        return {nullptr, error};
    if (auto error = loadTable(QLatin1String(sixCharacterTableName), loaded->sixCharacter))
        return {nullptr, error};

    QMutexLocker locker(&m_lock);
    if (m_shouldRetainCachedTables) {
        if (m_cachedTables)
            return {m_cachedTables, std::nullopt};
        m_cachedTables = loaded;
    }
    return {loaded, std::nullopt};
}

GridDXCCDatabase::SearchResult GridDXCCDatabase::searchNow(const QString &grid, double radius,
                                                           DistanceUnit unit)
{
    const auto home = coordinatesOfGrid(grid);
    if (!home || !(radius > 0))
        return {{}, DatabaseError::invalidGrid()};
    const double radiusKm = radius * kilometresPer(unit);
    const TablesOrError t = tables();
    if (t.error)
        return {{}, t.error};
    return {searchTables(*t.tables, home->first, home->second, radiusKm), std::nullopt};
}

QFuture<GridDXCCDatabase::SearchResult>
GridDXCCDatabase::entitiesWithinRadiusOfGrid(const QString &grid, double radius, DistanceUnit unit)
{
    return QtConcurrent::run(&m_searches,
                             [this, grid, radius, unit] { return searchNow(grid, radius, unit); });
}

} // namespace varnello
