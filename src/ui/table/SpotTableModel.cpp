#include "SpotTableModel.h"

#include "Clock.h"
#include "LoTWActivityLookup.h"
#include "SpotTableCells.h"
#include "SpotTableColumns.h"

#include <QColor>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace varnello {

namespace {

// Network input never grows the per-text caches without bound.
constexpr qsizetype maximumCachedTexts = 8192;

double colorComponent(double value)
{
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
}

} // namespace

SpotTableModel::SpotTableModel(const LoTWActivityLookup &lotw, const Clock &clock, QObject *parent)
    : QAbstractTableModel(parent), m_lotw(lotw), m_clock(clock)
{
    updateFonts();
}

SpotTableModel::~SpotTableModel() = default;

int SpotTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rowCount);
}

int SpotTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : spotTableColumnCount;
}

Qt::ItemFlags SpotTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant SpotTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const DXSpot &spot = spotAt(index.row());
    const auto column = static_cast<SpotTableColumn>(index.column());

    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case SpotTableColumn::time:
            return timeText(spot);
        case SpotTableColumn::dx:
            return spot.callsign;
        case SpotTableColumn::frequency:
            return spot.frequencyText();
        case SpotTableColumn::band:
            return spot.band;
        case SpotTableColumn::spotter:
            return spot.spotter;
        case SpotTableColumn::comment:
            return spot.comment;
        case SpotTableColumn::dxcc:
            return spot.dxcc.value_or(QStringLiteral("—"));
        case SpotTableColumn::lotw:
            return lotwText(spot.callsign) ? QStringLiteral("✓") : QString();
        }
        return {};
    case Qt::ToolTipRole:
        switch (column) {
        case SpotTableColumn::comment:
            return plainTextToolTip(spot.comment.isEmpty() ? QStringLiteral("No comment")
                                                           : spot.comment);
        case SpotTableColumn::dxcc:
            return plainTextToolTip(spot.dxcc.value_or(QStringLiteral("DXCC entity not found")));
        case SpotTableColumn::lotw: {
            const std::optional<QString> text = lotwText(spot.callsign);
            return plainTextToolTip(text ? QStringLiteral("Last LoTW upload: ") + *text
                                         : QStringLiteral("No LoTW upload within the last year"));
        }
        default:
            return {};
        }
    case Qt::TextAlignmentRole: {
        const SpotTableColumnSpec &spec = spotTableColumnSpec(index.column());
        if (column == SpotTableColumn::frequency)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue((spec.alignCentre ? Qt::AlignHCenter : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    case Qt::FontRole:
        switch (column) {
        case SpotTableColumn::time:
        case SpotTableColumn::frequency:
            return m_digitsFont;
        case SpotTableColumn::dx:
            return m_callFont;
        default:
            return m_baseFont;
        }
    case Qt::BackgroundRole: {
        const auto it = m_colors.constFind(spot.id);
        if (it == m_colors.cend())
            return {};
        return QColor::fromRgbF(colorComponent(it->red), colorComponent(it->green),
                                colorComponent(it->blue), alertRowAlpha);
    }
    default:
        return {};
    }
}

QVariant SpotTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= spotTableColumnCount)
        return {};
    const SpotTableColumnSpec &spec = spotTableColumnSpec(section);
    switch (role) {
    case Qt::DisplayRole:
        if (spec.column == SpotTableColumn::lotw && m_showLoTWOnly)
            return QStringLiteral("LoTW ✓");
        return QString(spec.title);
    case Qt::TextAlignmentRole: {
        const Qt::Alignment horizontal = spec.alignRight    ? Qt::AlignRight
                                         : spec.alignCentre ? Qt::AlignHCenter
                                                            : Qt::AlignLeft;
        return QVariant::fromValue(horizontal | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

int SpotTableModel::rowOfSpot(const QUuid &id) const
{
    for (qsizetype row = 0; row < m_rowCount; ++row) {
        if (spotAt(static_cast<int>(row)).id == id)
            return static_cast<int>(row);
    }
    return -1;
}

void SpotTableModel::reloadSpots(const QList<DXSpot> &spots)
{
    beginResetModel();
    m_spots = spots;
    m_rowOffset = 0;
    m_rowCount = spots.size();
    endResetModel();
}

void SpotTableModel::insertAtFront(const QList<DXSpot> &spots, const FrontInsertionChange &change)
{
    const QList<DXSpot> old = m_spots;
    const qsizetype kept = change.removedFrom;
    const qsizetype inserted = change.insertedCount;
    Q_ASSERT(inserted + kept == spots.size() && kept <= old.size());

    if (kept < old.size()) {
        beginRemoveRows({}, static_cast<int>(kept), static_cast<int>(old.size() - 1));
        // The kept old rows are the tail of the new list: no element is copied.
        m_spots = spots;
        m_rowOffset = inserted;
        m_rowCount = kept;
        endRemoveRows();
    }
    if (inserted > 0) {
        beginInsertRows({}, 0, static_cast<int>(inserted - 1));
        m_spots = spots;
        m_rowOffset = 0;
        m_rowCount = spots.size();
        endInsertRows();
    }
    m_spots = spots;
    m_rowOffset = 0;
    m_rowCount = spots.size();

    int first = -1;
    int last = -1;
    for (qsizetype j = 0; j < kept; ++j) {
        if (displayDiffers(old.at(j), spots.at(inserted + j))) {
            if (first < 0)
                first = static_cast<int>(inserted + j);
            last = static_cast<int>(inserted + j);
        }
    }
    emitRowsChanged(first, last);
}

void SpotTableModel::replaceContent(const QList<DXSpot> &spots)
{
    Q_ASSERT(haveSameIDs(m_spots, spots));
    int first = -1;
    int last = -1;
    for (qsizetype i = 0; i < spots.size(); ++i) {
        if (displayDiffers(m_spots.at(i), spots.at(i))) {
            if (first < 0)
                first = static_cast<int>(i);
            last = static_cast<int>(i);
        }
    }
    m_spots = spots;
    emitRowsChanged(first, last);
}

void SpotTableModel::emitRowsChanged(int first, int last)
{
    if (first < 0)
        return;
    Q_EMIT dataChanged(index(first, 0), index(last, spotTableColumnCount - 1));
}

void SpotTableModel::setHighlightColors(const QHash<QUuid, SpotAlertColor> &colors)
{
    if (colors == m_colors)
        return;
    m_colors = colors;
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0, 0),
                           index(static_cast<int>(m_rowCount) - 1, spotTableColumnCount - 1),
                           {Qt::BackgroundRole});
}

void SpotTableModel::setShowsLocalTime(bool local)
{
    if (local == m_showsLocalTime)
        return;
    m_showsLocalTime = local;
    m_localTimeByTime.clear();
    const int column = static_cast<int>(SpotTableColumn::time);
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0, column), index(static_cast<int>(m_rowCount) - 1, column),
                           {Qt::DisplayRole});
}

void SpotTableModel::setSmallPresentation(bool small)
{
    m_small = small;
    updateFonts();
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0, 0),
                           index(static_cast<int>(m_rowCount) - 1, spotTableColumnCount - 1),
                           {Qt::FontRole});
}

void SpotTableModel::setShowLoTWOnly(bool on)
{
    if (on == m_showLoTWOnly)
        return;
    m_showLoTWOnly = on;
    const int column = static_cast<int>(SpotTableColumn::lotw);
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

void SpotTableModel::reloadLoTW()
{
    m_lotwTextByCallsign.clear();
    m_localTimeByTime.clear();
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0, 0),
                           index(static_cast<int>(m_rowCount) - 1, spotTableColumnCount - 1));
}

void SpotTableModel::updateFonts()
{
    QFont base = QGuiApplication::font();
    if (m_small) {
        if (base.pointSizeF() > 0)
            base.setPointSizeF(std::max(base.pointSizeF() - 2.0, 10.0));
        else if (base.pixelSize() > 0)
            base.setPixelSize(std::max(base.pixelSize() - 2, 10));
    }
    m_baseFont = base;
    m_digitsFont = base;
    m_callFont = base;
    m_callFont.setWeight(QFont::Medium);
}

QString SpotTableModel::timeText(const DXSpot &spot) const
{
    if (!m_showsLocalTime)
        return formatSpotTime(spot.time, false, {});
    const QDateTime now = m_clock.now();
    const QDate day = now.toUTC().date();
    if (day != m_localTimeDay || m_localTimeByTime.size() >= maximumCachedTexts) {
        m_localTimeByTime.clear();
        m_localTimeDay = day;
    }
    auto it = m_localTimeByTime.constFind(spot.time);
    if (it == m_localTimeByTime.cend())
        it = m_localTimeByTime.insert(spot.time, formatSpotTime(spot.time, true, now));
    return *it;
}

std::optional<QString> SpotTableModel::lotwText(const QString &callsign) const
{
    auto it = m_lotwTextByCallsign.constFind(callsign);
    if (it == m_lotwTextByCallsign.cend()) {
        if (m_lotwTextByCallsign.size() >= maximumCachedTexts)
            m_lotwTextByCallsign.clear();
        it = m_lotwTextByCallsign.insert(callsign, m_lotw.lastUploadText(callsign));
    }
    return *it;
}

QString SpotTableModel::copyText(QList<int> rows) const
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QString text;
    text.reserve(rows.size() * 96);
    bool first = true;
    for (const int row : std::as_const(rows)) {
        if (row < 0 || row >= m_rowCount)
            continue;
        const DXSpot &spot = spotAt(row);
        if (!first)
            text += QLatin1Char('\n');
        first = false;
        text += spotCopyLine(spot, timeText(spot), m_lotw.hasRecentUpload(spot.callsign));
    }
    return text;
}

} // namespace varnello
