#include "BandFiltersSidebar.h"

#include "ContentView.h"
#include "FilterPanelParts.h"
#include "SpotFilterCatalogue.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace varnello {

using namespace filterparts;

namespace {

struct Group {
    const char *title;
    const QStringList &(*bands)();
};

const Group groups[] = {
    {"HF", &ContentView::hfBands},
    {"VHF and UHF", &ContentView::vhfUHFBands},
    {"Microwave", &ContentView::microwaveBands},
};

QPixmap checkMark()
{
    static const QPixmap pixmap =
        icon(u"checkmark", u"object-select", QStyle::SP_DialogApplyButton).pixmap(16, 16);
    return pixmap;
}

} // namespace

BandFiltersSidebar::BandFiltersSidebar(ContentView &view, QWidget *parent)
    : QWidget(parent), m_view(view)
{
    setObjectName(QStringLiteral("bandFiltersSidebar"));
    setFixedWidth(190);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(16, 14, 16, 14);
    header->setSpacing(8);
    auto *headerIcon = new QLabel(this);
    headerIcon->setPixmap(
        icon(u"line.3.horizontal.decrease", u"view-filter", QStyle::SP_FileDialogListView)
            .pixmap(16, 16));
    auto *headerTitle = plainLabel(QStringLiteral("Band Filters"), this);
    headerTitle->setFont(headlineFont(font()));
    header->addWidget(headerIcon);
    header->addWidget(headerTitle);
    header->addStretch();
    layout->addLayout(header);
    layout->addWidget(divider(Qt::Horizontal, this));

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *list = new QWidget(scroll);
    auto *rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    addRow(list, QStringLiteral("allBands"), QStringLiteral("All Bands"),
           QStringLiteral("antenna.radiowaves.left.and.right"),
           QStringLiteral("Select or deselect all bands"), 8);
    for (const Group &group : groups) {
        rows->addWidget(divider(Qt::Horizontal, list));
        const QString title = QString::fromLatin1(group.title);
        addRow(list, QStringLiteral("group_") + title, title, QString(),
               QStringLiteral("Select or deselect all ") + title + QStringLiteral(" bands"), 6);
        for (const QString &band : group.bands())
            addRow(list, QStringLiteral("band_") + band, band, QString(), QString(), 4);
    }
    rows->addWidget(divider(Qt::Horizontal, list));
    addRow(list, QStringLiteral("band_Other"), spotfilter::otherBand, QString(), QString(), 8);
    rows->addStretch();
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);

    layout->addWidget(divider(Qt::Horizontal, this));
    auto *footer = new QWidget(this);
    footer->setBackgroundRole(QPalette::Window);
    footer->setAutoFillBackground(true);
    auto *footerLayout = new QVBoxLayout(footer);
    footerLayout->setContentsMargins(12, 8, 12, 8);
    m_summary = secondaryLabel(QString(), footer);
    m_summary->setObjectName(QStringLiteral("bandSummary"));
    m_summary->setFont(captionFont(font()));
    m_summary->setWordWrap(true);
    footerLayout->addWidget(m_summary);
    layout->addWidget(footer);

    connect(&m_view, &ContentView::spotFiltersChanged, this, &BandFiltersSidebar::refresh);
    refresh();
}

QWidget *BandFiltersSidebar::addRow(QWidget *list, const QString &name, const QString &title,
                                    const QString &iconName, const QString &toolTip,
                                    int verticalInset)
{
    auto *row = new QPushButton(list);
    row->setObjectName(name);
    row->setFlat(true);
    row->setAutoDefault(false);
    row->setToolTip(toolTip);
    row->setStyleSheet(QStringLiteral("QPushButton { border: none; text-align: left; }"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, verticalInset, 12, verticalInset);
    layout->setSpacing(8);
    if (!iconName.isEmpty()) {
        auto *symbol = new QLabel(row);
        symbol->setFixedWidth(18);
        symbol->setPixmap(
            icon(iconName, u"network-wireless", QStyle::SP_DriveNetIcon).pixmap(16, 16));
        layout->addWidget(symbol);
    }
    layout->addWidget(plainLabel(title, row));
    layout->addStretch();
    auto *check = new QLabel(row);
    check->setObjectName(name + QStringLiteral("_check"));
    check->setFixedSize(16, 16);
    layout->addWidget(check);
    row->setMinimumHeight(row->sizeHint().height() + 2 * verticalInset);
    m_checks.insert(name, check);
    list->layout()->addWidget(row);

    if (name == QLatin1String("allBands")) {
        connect(row, &QPushButton::clicked, &m_view, &ContentView::showAllBands);
    } else if (name.startsWith(QLatin1String("group_"))) {
        for (const Group &group : groups) {
            if (title == QLatin1String(group.title))
                connect(row, &QPushButton::clicked, &m_view,
                        [this, &group] { m_view.toggleBandGroup(group.bands()); });
        }
    } else {
        connect(row, &QPushButton::clicked, &m_view, [this, title] { m_view.toggleBand(title); });
    }
    return row;
}

void BandFiltersSidebar::refresh()
{
    const QSet<QString> &selected = m_view.selectedBands();
    for (auto it = m_checks.begin(); it != m_checks.end(); ++it) {
        const QString &name = it.key();
        bool ticked = false;
        if (name == QLatin1String("allBands")) {
            ticked = selected.isEmpty();
        } else if (name.startsWith(QLatin1String("group_"))) {
            for (const Group &group : groups) {
                if (name.mid(6) == QLatin1String(group.title)) {
                    const QStringList &bands = group.bands();
                    ticked = std::all_of(bands.begin(), bands.end(), [&](const QString &band) {
                        return selected.contains(band);
                    });
                }
            }
        } else {
            ticked = selected.contains(name.mid(5));
        }
        // The mark keeps its room, so rows do not shift when it comes and goes.
        it.value()->setPixmap(ticked ? checkMark() : QPixmap());
        it.value()->setProperty("ticked", ticked);
    }
    m_summary->setText(m_view.bandFilterSummary());
    // A wrapped label does not claim its height in this layout by itself.
    m_summary->setMinimumHeight(m_summary->heightForWidth(width() - 24));
}

} // namespace varnello
