#include "SpotTableModel.h"

#include "Clock.h"
#include "LoTWActivityLookup.h"
#include "NetworkText.h"
#include "SpotTableCells.h"
#include "SpotTableColumns.h"

#include <QColor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <bit>
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

SpotTableModel::CellLook SpotTableModel::cellLook(int row, int column) const
{
    const DXSpot &spot = spotAt(row);
    CellLook look;
    look.alignment = Qt::AlignLeft | Qt::AlignVCenter;
    look.font = &m_baseFont;
    switch (static_cast<SpotTableColumn>(column)) {
    case SpotTableColumn::time:
        look.text = timeText(spot);
        break;
    case SpotTableColumn::dx:
        look.text = spot.callsign;
        look.font = &m_callFont;
        break;
    case SpotTableColumn::frequency:
        look.text = frequencyText(spot.frequency);
        look.alignment = Qt::AlignRight | Qt::AlignVCenter;
        break;
    case SpotTableColumn::band:
        look.text = spot.band;
        break;
    case SpotTableColumn::spotter:
        look.text = spot.spotter;
        break;
    case SpotTableColumn::comment:
        look.text = spot.comment;
        break;
    case SpotTableColumn::dxcc:
        look.text = spot.dxcc.value_or(QStringLiteral("—"));
        break;
    case SpotTableColumn::lotw:
        if (lotwText(spot.callsign))
            look.text = QStringLiteral("✓");
        look.alignment = Qt::AlignHCenter | Qt::AlignVCenter;
        break;
    }
    // Every text but the frequency and the LoTW mark comes from the node or the country file.
    look.text = networkDisplayText(look.text);
    const auto it = m_colors.constFind(spot.id);
    if (it != m_colors.cend())
        look.background = QColor::fromRgbF(colorComponent(it->red), colorComponent(it->green),
                                           colorComponent(it->blue), alertRowAlpha);
    return look;
}

QVariant SpotTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellLook(index.row(), index.column()).text;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(cellLook(index.row(), index.column()).alignment);
    case Qt::FontRole:
        return *cellLook(index.row(), index.column()).font;
    case Qt::BackgroundRole: {
        const std::optional<QColor> fill = cellLook(index.row(), index.column()).background;
        return fill ? QVariant(*fill) : QVariant();
    }
    case Qt::ToolTipRole:
        break;
    default:
        return {};
    }

    const DXSpot &spot = spotAt(index.row());
    switch (static_cast<SpotTableColumn>(index.column())) {
    case SpotTableColumn::comment:
        return plainToolTip(spot.comment.isEmpty() ? QStringLiteral("No comment") : spot.comment);
    case SpotTableColumn::dxcc:
        return plainToolTip(spot.dxcc.value_or(QStringLiteral("DXCC entity not found")));
    case SpotTableColumn::lotw: {
        const std::optional<QString> text = lotwText(spot.callsign);
        return plainToolTip(text ? QStringLiteral("Last LoTW upload: ") + *text
                                 : QStringLiteral("No LoTW upload within the last year"));
    }
    default:
        return {};
    }
}

QVariant SpotTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= spotTableColumnCount)
        return {};
    const SpotTableColumnInfo &info = spotTableColumnInfo(section);
    switch (role) {
    case Qt::DisplayRole:
        if (info.column == SpotTableColumn::lotw && m_showLoTWOnly)
            return QStringLiteral("LoTW ✓");
        return QString(info.title);
    case Qt::TextAlignmentRole: {
        const Qt::Alignment horizontal = info.alignRight    ? Qt::AlignRight
                                         : info.alignCentre ? Qt::AlignHCenter
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

void SpotTableModel::prependRows(const QList<DXSpot> &inserted, qsizetype kept,
                                 const QHash<QUuid, SpotAlertColor> &colours)
{
    Q_ASSERT(m_rowOffset == 0 && kept <= m_rowCount);
    if (kept < m_rowCount) {
        beginRemoveRows({}, static_cast<int>(kept), static_cast<int>(m_rowCount - 1));
        if (!m_colors.isEmpty()) {
            for (qsizetype row = kept; row < m_rowCount; ++row)
                m_colors.remove(m_spots.at(row).id);
        }
        m_spots.resize(kept);
        m_rowCount = kept;
        endRemoveRows();
    }
    if (!inserted.isEmpty()) {
        beginInsertRows({}, 0, static_cast<int>(inserted.size() - 1));
        for (qsizetype i = inserted.size() - 1; i >= 0; --i)
            m_spots.prepend(inserted.at(i));
        m_rowCount = m_spots.size();
        for (auto it = colours.cbegin(); it != colours.cend(); ++it)
            m_colors.insert(it.key(), it.value());
        endInsertRows();
    }
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
    emitAllRowsChanged(0, spotTableColumnCount - 1, {Qt::BackgroundRole});
}

void SpotTableModel::setShowsLocalTime(bool local)
{
    if (local == m_showsLocalTime)
        return;
    m_showsLocalTime = local;
    m_localTimeByTime.clear();
    const int column = static_cast<int>(SpotTableColumn::time);
    emitAllRowsChanged(column, column, {Qt::DisplayRole});
}

void SpotTableModel::setSmallPresentation(bool small)
{
    m_small = small;
    updateFonts();
    emitAllRowsChanged(0, spotTableColumnCount - 1, {Qt::FontRole});
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
    emitAllRowsChanged(0, spotTableColumnCount - 1);
}

void SpotTableModel::emitAllRowsChanged(int firstColumn, int lastColumn, const QList<int> &roles)
{
    if (m_rowCount > 0)
        Q_EMIT dataChanged(index(0, firstColumn),
                           index(static_cast<int>(m_rowCount) - 1, lastColumn), roles);
}

void SpotTableModel::updateFonts()
{
    QFont base = QGuiApplication::font();
    if (m_small) {
        // Sizes of the small preset are in logical pixels, whatever unit the desktop font uses.
        double pixels = base.pixelSize();
        if (base.pointSizeF() > 0) {
            const QScreen *screen = QGuiApplication::primaryScreen();
            pixels = base.pointSizeF() * (screen ? screen->logicalDotsPerInchY() : 96.0) / 72.0;
        }
        if (pixels > 0)
            base.setPixelSize(static_cast<int>(std::lround(std::max(pixels - 2.0, 10.0))));
    }
    m_baseFont = base;
    m_callFont = base;
    m_callFont.setWeight(QFont::Medium);
    ++m_fontGeneration;
}

QString SpotTableModel::timeText(const DXSpot &spot) const
{
    if (!m_showsLocalTime) {
        auto it = m_utcTimeByTime.constFind(spot.time);
        if (it == m_utcTimeByTime.cend()) {
            if (m_utcTimeByTime.size() >= maximumCachedTexts)
                m_utcTimeByTime.clear();
            it = m_utcTimeByTime.insert(spot.time, formatSpotTime(spot.time, false, {}));
        }
        return *it;
    }
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

QString SpotTableModel::frequencyText(double kHz) const
{
    const quint64 bits = std::bit_cast<quint64>(kHz);
    auto it = m_frequencyTexts.constFind(bits);
    if (it == m_frequencyTexts.cend()) {
        if (m_frequencyTexts.size() >= maximumCachedTexts)
            m_frequencyTexts.clear();
        it = m_frequencyTexts.insert(bits, DXSpot::formatFrequency(kHz));
    }
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

QString SpotTableModel::copyText(const QList<int> &rows) const
{
    QString text;
    text.reserve(rows.size() * 96);
    bool first = true;
    for (const int row : rows) {
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
