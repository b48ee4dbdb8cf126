#pragma once

// Internal to GridDXCCDatabase: one grid table in a compact form indexed by cell.

#include "GridDXCCDatabase.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace varnello {

// One CSV table of grid squares and their ADIF numbers. Instead of a map of 900,000 strings,
// the rows are indexed by square number (32,400 four-character squares) and, for squares that
// have subsquare rows, by a 24 x 24 block of subsquares: a few megabytes in all.
class GridTable final {
public:
    static constexpr int squareCount = 18 * 18 * 10 * 10;
    static constexpr int subsquaresPerSquare = 24 * 24;

    // Reads the CSV rows; false when a row is malformed (the table is then unusable).
    bool parse(const QByteArray &bytes);

    // True when the table had at least one row, whatever its key.
    bool hasRows() const { return m_rowCount > 0; }
    qsizetype rowCount() const { return m_rowCount; }

    // Entry of a four-character square / a subsquare, or -1. square = the number computed by
    // squareNumber(); subsquare = column-in-square * 24 + row-in-square.
    int32_t squareEntry(int square) const { return m_squareEntry[size_t(square)]; }
    int32_t subsquareEntry(int square, int subsquare) const
    {
        const int32_t block = m_blockOfSquare[size_t(square)];
        return block < 0 ? -1 : m_blocks[size_t(block) * subsquaresPerSquare + size_t(subsquare)];
    }
    // The ADIF numbers of an entry: a count followed by the numbers.
    const int32_t *entryNumbers(int32_t entry, int32_t *count) const
    {
        *count = m_numbers[size_t(entry)];
        return m_numbers.data() + entry + 1;
    }

    static int squareNumber(int fieldLon, int fieldLat, int digitLon, int digitLat)
    {
        return (fieldLon * 18 + fieldLat) * 100 + digitLon * 10 + digitLat;
    }

private:
    bool addAsciiRow(const char *begin, const char *end);
    bool addUnicodeRow(QStringView row);
    void store(const char16_t *key, qsizetype keyLength, const std::vector<int32_t> &numbers);

    qsizetype m_rowCount = 0;
    std::vector<int32_t> m_numbers;
    std::vector<int32_t> m_squareEntry = std::vector<int32_t>(squareCount, -1);
    std::vector<int32_t> m_blockOfSquare = std::vector<int32_t>(squareCount, -1);
    std::vector<int32_t> m_blocks;
};

class GridLookupTables final {
public:
    GridTable fourCharacter;
    GridTable sixCharacter;
};

} // namespace varnello
