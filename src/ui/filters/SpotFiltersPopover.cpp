#include "SpotFiltersPopover.h"

#include "ContentView.h"
#include "FilterPanelParts.h"
#include "SpotFilterCatalogue.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace varnello {

using namespace filterparts;
using Switch = ContentView::FilterSwitch;

namespace {

struct ModeRow {
    Switch which;
    const char *name;
    const char *text;
};

const ModeRow modeRows[] = {
    {Switch::hideCWSpots, "hideCWSpots", "Hide CW"},
    {Switch::hideSSBSpots, "hideSSBSpots", "Hide SSB"},
    {Switch::hideFTxSpots, "hideFTxSpots", "Hide FTx"},
    {Switch::hideOtherDigitalSpots, "hideOtherDigitalSpots", "Hide Other Digital"},
    {Switch::hideBeaconSpots, "hideBeaconSpots", "Hide Beacons"},
    {Switch::hideQRPSpots, "hideQRPSpots", "Hide QRP"},
};

QCheckBox *switchBox(ContentView &view, Switch which, const QString &name, const QString &text,
                     QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(name);
    QObject::connect(box, &QCheckBox::toggled, &view,
                     [&view, which](bool on) { view.setFilterSwitch(which, on); });
    return box;
}

} // namespace

SpotFiltersPopover::SpotFiltersPopover(ContentView &view, QWidget *parent)
    : Popover(parent), m_view(view)
{
    setObjectName(QStringLiteral("spotFiltersPopover"));
    setFixedWidth(560);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto *title = plainLabel(QStringLiteral("Spot Filters"), this);
    title->setFont(headlineFont(font()));
    layout->addWidget(title);

    auto *columns = new QHBoxLayout;
    columns->setSpacing(28);
    columns->addWidget(buildModeColumn(), 0, Qt::AlignTop);
    columns->addWidget(buildContinentColumn(true), 0, Qt::AlignTop);
    columns->addWidget(buildContinentColumn(false), 0, Qt::AlignTop);
    columns->addStretch();
    layout->addLayout(columns);

    layout->addWidget(divider(Qt::Horizontal, this));
    auto *note = secondaryLabel(
        QStringLiteral("Mode filters are best endeavours, especially on bands above 50 MHz."),
        this);
    note->setFont(captionFont(font()));
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addWidget(divider(Qt::Horizontal, this));

    auto *buttons = new QHBoxLayout;
    m_clearFilters = new QPushButton(QStringLiteral("Clear Filters"), this);
    m_clearFilters->setObjectName(QStringLiteral("clearFilters"));
    m_clearFilters->setAutoDefault(false);
    connect(m_clearFilters, &QPushButton::clicked, &m_view, &ContentView::clearSpotFilters);
    auto *done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this,
            [this] { m_view.setFiltersPopoverPresented(false); });
    buttons->addWidget(m_clearFilters);
    buttons->addStretch();
    buttons->addWidget(done);
    layout->addLayout(buttons);

    connect(&m_view, &ContentView::spotFiltersChanged, this, &SpotFiltersPopover::refresh);
    connect(&m_view, &ContentView::filterPanelsChanged, this, [this] {
        if (!m_view.isFiltersPopoverPresented() && isVisible())
            hide();
    });
    refresh();
}

QWidget *SpotFiltersPopover::buildModeColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(175);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto *shortcut = plainButton(QStringLiteral("Hide spots by mode"), column);
    shortcut->setObjectName(QStringLiteral("modeShortcut"));
    shortcut->setFont(subheadlineFont(font(), true));
    connect(shortcut, &QPushButton::clicked, &m_view, &ContentView::toggleAllModeFilters);
    layout->addWidget(shortcut);
    for (const ModeRow &row : modeRows) {
        QCheckBox *box = switchBox(m_view, row.which, QString::fromLatin1(row.name),
                                   QString::fromLatin1(row.text), column);
        m_modeBoxes.append(box);
        layout->addWidget(box);
    }
    layout->addWidget(divider(Qt::Horizontal, column));
    m_customInfo = switchBox(m_view, Switch::customInfoFilterEnabled,
                             QStringLiteral("customInfoFilterEnabled"),
                             QStringLiteral("Custom info filter"), column);
    layout->addWidget(m_customInfo);
    m_customInfoButton = new QPushButton(column);
    m_customInfoButton->setObjectName(QStringLiteral("customInfoFilterButton"));
    m_customInfoButton->setAutoDefault(false);
    connect(m_customInfoButton, &QPushButton::clicked, &m_view,
            &ContentView::openCustomInfoFilterSheet);
    layout->addWidget(m_customInfoButton, 0, Qt::AlignLeft);
    layout->addStretch();
    return column;
}

QWidget *SpotFiltersPopover::buildContinentColumn(bool dxColumn)
{
    const auto set =
        dxColumn ? ContentView::ContinentSet::hiddenDXFrom : ContentView::ContinentSet::hiddenDXBy;
    const QString prefix = dxColumn ? QStringLiteral("hiddenDXFrom") : QStringLiteral("hiddenDXBy");
    auto *column = new QWidget(this);
    column->setFixedWidth(145);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto *title = plainButton(
        dxColumn ? QStringLiteral("Hide DX from") : QStringLiteral("Hide spotter from"), column);
    title->setObjectName(prefix + QStringLiteral("Title"));
    title->setFont(subheadlineFont(font(), true));
    connect(title, &QPushButton::clicked, &m_view,
            [this, set] { m_view.toggleAllContinents(set); });
    layout->addWidget(title);
    QList<QCheckBox *> &boxes = dxColumn ? m_dxFromBoxes : m_dxByBoxes;
    for (const spotfilter::Continent &continent : spotfilter::continents()) {
        auto *box = new QCheckBox(continent.name, column);
        box->setObjectName(prefix + QLatin1Char('_') + continent.code);
        const QString code = continent.code;
        connect(box, &QCheckBox::toggled, &m_view,
                [this, set, code](bool on) { m_view.setContinentHidden(set, code, on); });
        boxes.append(box);
        layout->addWidget(box);
    }
    layout->addWidget(divider(Qt::Horizontal, column));
    if (dxColumn) {
        m_sameEntity =
            switchBox(m_view, Switch::hideSameDXCCSpots, QStringLiteral("hideSameDXCCSpots"),
                      QStringLiteral("Hide spots within\nsame DXCC entity"), column);
        m_sameEntity->setToolTip(QStringLiteral(
            "Hide spots where the DX station and spotter are in the same DXCC entity."));
        layout->addWidget(m_sameEntity);
    } else {
        m_dxByTitle = title;
        m_allowList = switchBox(m_view, Switch::customSpotterEntityFilterEnabled,
                                QStringLiteral("customSpotterEntityFilterEnabled"),
                                QStringLiteral("Custom allow list"), column);
        layout->addWidget(m_allowList);
        m_allowListButton = new QPushButton(column);
        m_allowListButton->setObjectName(QStringLiteral("customSpotterEntityButton"));
        m_allowListButton->setAutoDefault(false);
        connect(m_allowListButton, &QPushButton::clicked, &m_view,
                &ContentView::openCustomSpotterEntitySheet);
        layout->addWidget(m_allowListButton, 0, Qt::AlignLeft);
    }
    layout->addStretch();
    return column;
}

void SpotFiltersPopover::refresh()
{
    const auto check = [](QCheckBox *box, bool on) {
        const QSignalBlocker blocker(box);
        box->setChecked(on);
    };
    for (qsizetype i = 0; i < m_modeBoxes.size(); ++i)
        check(m_modeBoxes[i], m_view.filterSwitch(modeRows[i].which));
    m_modeBoxes.last()->setVisible(m_view.advancedMode());
    const auto &continents = spotfilter::continents();
    const bool allowListOn = m_view.filterSwitch(Switch::customSpotterEntityFilterEnabled);
    for (qsizetype i = 0; i < continents.size(); ++i) {
        check(m_dxFromBoxes[i], m_view.hiddenDXFromContinents().contains(continents[i].code));
        check(m_dxByBoxes[i], m_view.hiddenDXByContinents().contains(continents[i].code));
        m_dxByBoxes[i]->setEnabled(!allowListOn);
    }
    m_dxByTitle->setEnabled(!allowListOn);
    check(m_sameEntity, m_view.filterSwitch(Switch::hideSameDXCCSpots));
    check(m_customInfo, m_view.filterSwitch(Switch::customInfoFilterEnabled));
    check(m_allowList, allowListOn);
    m_customInfoButton->setText(
        ContentView::customFilterButtonTitle(m_view.customInfoFilterTerms().size()));
    m_allowListButton->setText(
        ContentView::customFilterButtonTitle(m_view.customSpotterEntityADIFNumbers().size()));
    m_clearFilters->setEnabled(m_view.hasActiveSpotFilters());
}

void SpotFiltersPopover::showBelow(QWidget *anchor)
{
    refresh();
    showFrom(anchor);
}

void SpotFiltersPopover::hideEvent(QHideEvent *event)
{
    Popover::hideEvent(event);
    // A click outside closes the popover; the state follows.
    m_view.setFiltersPopoverPresented(false);
}

} // namespace varnello
