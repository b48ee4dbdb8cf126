#pragma once

#include "AlertModel.h"
#include "DXSpot.h"
#include "SpotListChange.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDate>
#include <QFont>
#include <QHash>
#include <QList>
#include <QUuid>
#include <optional>

namespace varnello {

class Clock;
class LoTWActivityLookup;

// The rows of the spot table: the list the window last handed over, newest first, with the
// highlight colours of alert rows. Structural changes are reported as front inserts and tail
// removals wherever they are ones, so the view keeps its rows, selection and reading position.
class SpotTableModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotTableModel)

public:
    static constexpr double alertRowAlpha = 0.38;

    // What one cell shows; the delegate paints from it without going through QVariant roles.
    struct CellLook {
        QString text;
        Qt::Alignment alignment;
        const QFont *font = nullptr;
        std::optional<QColor> background; // alert rows
    };
    CellLook cellLook(int row, int column) const;
    // Changes whenever the cell fonts change, so painted text can be cached per font.
    quint64 fontGeneration() const { return m_fontGeneration; }

    SpotTableModel(const LoTWActivityLookup &lotw, const Clock &clock, QObject *parent = nullptr);
    ~SpotTableModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QList<DXSpot> &spots() const { return m_spots; }
    const DXSpot &spotAt(int row) const { return m_spots.at(m_rowOffset + row); }
    // First row from the front showing the spot, or -1.
    int rowOfSpot(const QUuid &id) const;

    // A reload: the view drops its selection and row state.
    void reloadSpots(const QList<DXSpot> &spots);
    // `spots` is the current list with `change.insertedCount` spots in front and its tail cut at
    // `change.removedFrom`.
    void insertAtFront(const QList<DXSpot> &spots, const FrontInsertionChange &change);
    // The same ids in the same order; rows whose content changed are redrawn.
    void replaceContent(const QList<DXSpot> &spots);
    // `inserted` came in front of the first `kept` rows, which are unchanged (their colours
    // too); the rows after them are gone. `colours` are those of the inserted rows.
    void prependRows(const QList<DXSpot> &inserted, qsizetype kept,
                     const QHash<QUuid, SpotAlertColor> &colours);

    void setHighlightColors(const QHash<QUuid, SpotAlertColor> &colors);

    bool showsLocalTime() const { return m_showsLocalTime; }
    void setShowsLocalTime(bool local);
    void setSmallPresentation(bool small);
    bool showLoTWOnly() const { return m_showLoTWOnly; }
    void setShowLoTWOnly(bool on);
    // The LoTW list was replaced: marks and tooltips are read again.
    void reloadLoTW();

    QString timeText(const DXSpot &spot) const;
    // The given rows (ascending, each once) as TAB-separated lines; invalid rows are skipped.
    QString copyText(const QList<int> &rows) const;

private:
    std::optional<QString> lotwText(const QString &callsign) const;
    QString frequencyText(double kHz) const;
    void updateFonts();
    void emitRowsChanged(int first, int last);
    void emitAllRowsChanged(int firstColumn, int lastColumn, const QList<int> &roles = {});

    const LoTWActivityLookup &m_lotw;
    const Clock &m_clock;
    QList<DXSpot> m_spots;
    // Between the halves of a front insertion the rows are a window of the new list.
    qsizetype m_rowOffset = 0;
    qsizetype m_rowCount = 0;
    QHash<QUuid, SpotAlertColor> m_colors;
    bool m_showsLocalTime = false;
    bool m_small = false;
    bool m_showLoTWOnly = false;
    QFont m_baseFont;
    QFont m_callFont;
    quint64 m_fontGeneration = 0;
    // Date texts are formatted once per callsign (LoTW) or spot time (local clock) and kept
    // until the LoTW list, the time mode or the UTC day changes.
    mutable QHash<QString, std::optional<QString>> m_lotwTextByCallsign;
    mutable QHash<QString, QString> m_localTimeByTime;
    // The same texts in UTC, and the frequency texts by the frequency's bits: cells are painted far
    // more often than spots arrive.
    mutable QHash<QString, QString> m_utcTimeByTime;
    mutable QHash<quint64, QString> m_frequencyTexts;
    mutable QDate m_localTimeDay;
};

} // namespace varnello
