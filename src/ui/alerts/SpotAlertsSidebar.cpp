#include "SpotAlertsSidebar.h"

#include "AlertColorDot.h"
#include "AlertPanelStyle.h"
#include "AlertSummaryText.h"
#include "AppSettingsStore.h"
#include "ContentView.h"
#include "ElidedLabel.h"
#include "NetworkText.h"
#include "NewSlotAlertSheet.h"
#include "SettingsKeys.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

using namespace alertstyle;

namespace {

QString indexed(const char *name, int slot)
{
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(slot);
}

QToolButton *gearButton(const QString &toolTip, QWidget *parent)
{
    auto *gear = new QToolButton(parent);
    gear->setAutoRaise(true);
    gear->setIcon(symbol(u"gearshape"));
    gear->setIconSize({16, 16});
    gear->setFixedSize(20, 20);
    gear->setToolTip(toolTip);
    gear->setAccessibleName(toolTip);
    return gear;
}

QCheckBox *enableCheckBox(const QString &toolTip, QWidget *parent)
{
    auto *box = new QCheckBox(parent);
    box->setToolTip(toolTip);
    box->setAccessibleName(toolTip);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}

// A secondary summary text of at most `lines` lines, wrapped to the panel's width.
QLabel *summaryLabel(TextStyle style, int lines, QWidget *parent)
{
    QLabel *label = plainLabel(QString(), parent);
    setTextStyle(label, style);
    setSecondary(label);
    label->setWordWrap(true);
    label->setMaximumHeight(label->fontMetrics().lineSpacing() * lines);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QVBoxLayout *rowLayout(QWidget *row)
{
    auto *layout = new QVBoxLayout(row);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);
    return layout;
}

bool isAlertKey(const QString &key)
{
    return key == SettingsKeys::spotAlertsConfiguration.name ||
           key == SettingsKeys::spotAlertsEnabled.name ||
           key == SettingsKeys::newSlotAlertEnabled.name ||
           key == SettingsKeys::newSlotAlertConfiguration.name ||
           key == SettingsKeys::newSlotAlertLookup.name;
}

} // namespace

SpotAlertsSidebar::SpotAlertsSidebar(ContentView &view, QWidget *parent)
    : QWidget(parent), m_view(view)
{
    setObjectName(QStringLiteral("spotAlertsSidebar"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(divider(this));

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("spotAlertsScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *list = new QWidget(scroll);
    list->setBackgroundRole(QPalette::Window);
    auto *listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    listLayout->addWidget(buildNewSlotRow());
    listLayout->addWidget(divider(list));
    for (int slot = 0; slot < alertSlotCount; ++slot) {
        listLayout->addWidget(buildSlotRow(slot));
        listLayout->addWidget(divider(list));
    }
    listLayout->addStretch(1);
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &SpotAlertsSidebar::refresh);
    connect(&m_view, &ContentView::alertsChanged, this, &SpotAlertsSidebar::scheduleRefresh);
    connect(&m_view, &ContentView::alertEntitiesChanged, this, &SpotAlertsSidebar::scheduleRefresh);
    connect(&m_view.alertStore().settings(), &AppSettingsStore::valueChanged, this,
            [this](const QString &key) {
                if (isAlertKey(key))
                    scheduleRefresh();
            });
    connect(&m_view, &ContentView::presentationChanged, this,
            &SpotAlertsSidebar::followPresentations);

    refresh();
    followPresentations();
}

SpotAlertsSidebar::~SpotAlertsSidebar() = default;

QWidget *SpotAlertsSidebar::buildHeader()
{
    auto *header = new QWidget(this);
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(8);
    auto *bell = new QLabel(header);
    bell->setPixmap(symbol(u"bell").pixmap(16, 16));
    layout->addWidget(bell);
    QLabel *title = plainLabel(QStringLiteral("Spot Alerts"), header);
    setTextStyle(title, TextStyle::headline, true);
    layout->addWidget(title);
    layout->addStretch(1);

    m_clearAll = new QPushButton(QStringLiteral("Clear All"), header);
    m_clearAll->setObjectName(QStringLiteral("clearAllAlertsButton"));
    m_clearAll->setFlat(true);
    m_clearAll->setAutoDefault(false);
    m_clearAll->setToolTip(QStringLiteral("Reset all alerts"));
    setTextStyle(m_clearAll, TextStyle::callout);
    connect(m_clearAll, &QPushButton::clicked, this,
            [this] { m_view.setClearAllAlertsConfirmationPresented(true); });
    layout->addWidget(m_clearAll);
    return header;
}

QWidget *SpotAlertsSidebar::buildNewSlotRow()
{
    auto *row = new QWidget(this);
    row->setObjectName(QStringLiteral("newSlotAlertRow"));
    QVBoxLayout *layout = rowLayout(row);
    auto *line = new QHBoxLayout;
    line->setSpacing(8);
    m_newSlot.enabled = enableCheckBox(QStringLiteral("Enable or disable the New Slot Alert"), row);
    m_newSlot.enabled->setObjectName(QStringLiteral("newSlotAlertEnabledCheckBox"));
    connect(m_newSlot.enabled, &QCheckBox::clicked, this,
            [this](bool on) { m_view.setNewSlotAlertEnabled(on); });
    line->addWidget(m_newSlot.enabled);
    m_newSlot.dot = new AlertColorDot(row);
    m_newSlot.dot->setObjectName(QStringLiteral("newSlotAlertColorDot"));
    line->addWidget(m_newSlot.dot);
    QLabel *title = plainLabel(QStringLiteral("New Slot Alert"), row);
    setTextStyle(title, TextStyle::body, true);
    line->addWidget(title);
    line->addStretch(1);
    QToolButton *gear = gearButton(QStringLiteral("Configure New Slot Alert"), row);
    gear->setObjectName(QStringLiteral("newSlotAlertGearButton"));
    connect(gear, &QToolButton::clicked, this, [this] { m_view.openNewSlotAlertSheet(); });
    line->addWidget(gear);
    layout->addLayout(line);

    m_newSlot.refreshDate = summaryLabel(TextStyle::callout, 2, row);
    m_newSlot.refreshDate->setObjectName(QStringLiteral("newSlotAlertRefreshLabel"));
    layout->addWidget(m_newSlot.refreshDate);
    return row;
}

QWidget *SpotAlertsSidebar::buildSlotRow(int slot)
{
    SlotRow &r = m_rows[size_t(slot)];
    auto *row = new QWidget(this);
    row->setObjectName(indexed("alertRow", slot));
    QVBoxLayout *layout = rowLayout(row);

    auto *line = new QHBoxLayout;
    line->setSpacing(8);
    r.enabled = enableCheckBox(QStringLiteral("Enable or disable this alert"), row);
    r.enabled->setObjectName(indexed("alertEnabledCheckBox", slot));
    connect(r.enabled, &QCheckBox::clicked, this,
            [this, slot](bool on) { m_view.setAlertEnabled(slot, on); });
    line->addWidget(r.enabled);
    r.dot = new AlertColorDot(row);
    r.dot->setObjectName(indexed("alertColorDot", slot));
    line->addWidget(r.dot);
    // A long name gives way before the gear does, cut with an ellipsis.
    r.title = new ElidedLabel(QString(), row);
    r.title->setObjectName(indexed("alertTitleLabel", slot));
    setTextStyle(r.title, TextStyle::body, true);
    line->addWidget(r.title, 1);
    r.gear = gearButton(QString(), row);
    r.gear->setObjectName(indexed("alertGearButton", slot));
    connect(r.gear, &QToolButton::clicked, this, [this, slot] { m_view.openAlertEditor(slot); });
    line->addWidget(r.gear);
    layout->addLayout(line);

    auto *summary = new QVBoxLayout;
    summary->setSpacing(3);
    r.entitySummary = summaryLabel(TextStyle::callout, 6, row);
    r.entitySummary->setObjectName(indexed("alertEntitySummaryLabel", slot));
    r.slotSummary = summaryLabel(TextStyle::callout, 6, row);
    r.slotSummary->setObjectName(indexed("alertSlotSummaryLabel", slot));
    summary->addWidget(r.entitySummary);
    summary->addWidget(r.slotSummary);
    layout->addLayout(summary);

    auto *action = new QHBoxLayout;
    action->setSpacing(5);
    r.actionSymbol = new QLabel(row);
    r.actionSymbol->setObjectName(indexed("alertActionSymbol", slot));
    action->addWidget(r.actionSymbol);
    r.actionSummary = summaryLabel(TextStyle::caption, 2, row);
    r.actionSummary->setObjectName(indexed("alertActionSummaryLabel", slot));
    action->addWidget(r.actionSummary, 1);
    layout->addLayout(action);
    return row;
}

void SpotAlertsSidebar::scheduleRefresh()
{
    m_refreshTimer.start();
}

void SpotAlertsSidebar::refresh()
{
    m_refreshTimer.stop();
    m_clearAll->setEnabled(!m_view.alertsAreAtDefaults());

    const NewSlotAlertConfiguration newSlot = m_view.loadNewSlotAlertConfiguration();
    m_newSlot.enabled->setChecked(m_view.newSlotAlertEnabled());
    m_newSlot.dot->setColor(newSlot.highlightColor, newSlot.highlightRows);
    m_newSlot.refreshDate->setText(clubLogRefreshDateText(newSlot));

    const QList<SpotAlertConfiguration> alerts = m_view.loadAlertConfigurations();
    const QList<bool> flags = m_view.loadAlertEnabledStates();
    for (int slot = 0; slot < alertSlotCount; ++slot) {
        SlotRow &r = m_rows[size_t(slot)];
        const SpotAlertConfiguration &alert = alerts[slot];
        const QString title = alert.name.trimmed();
        r.enabled->setChecked(flags[slot]);
        r.dot->setColor(alert.highlightColor, alert.highlightRows);
        r.title->setText(title);
        r.gear->setToolTip(plainToolTip(QStringLiteral("Configure ") + title));
        r.gear->setAccessibleName(QStringLiteral("Configure ") + title);
        r.entitySummary->setText(alertEntitySummaryText(alert, slot, m_view.alertEntities()));
        const QString slotLine = alertSlotSummaryText(alert, slot);
        r.slotSummary->setText(slotLine);
        r.slotSummary->setVisible(!slotLine.isEmpty());
        r.actionSummary->setText(alertActionSummaryText(alert));
        const QString symbolName = alertActionSymbolName(alert);
        r.actionSymbol->setProperty("symbolName", symbolName);
        r.actionSymbol->setPixmap(symbol(symbolName).pixmap(12, 12));
    }
}

void SpotAlertsSidebar::followPresentations()
{
    if (m_view.isClearAllAlertsConfirmationPresented() && !m_confirmation)
        showClearAllConfirmation();
    else if (!m_view.isClearAllAlertsConfirmationPresented() && m_confirmation)
        m_confirmation->close();

    if (m_view.isNewSlotAlertSheetPresented() && !m_newSlotSheet) {
        auto *sheet = new NewSlotAlertSheet(m_view, this);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        // Gone for us when it closes, though deleted only later: a new opening gets a new sheet.
        connect(sheet, &QDialog::finished, this, [this] { m_newSlotSheet = nullptr; });
        m_newSlotSheet = sheet;
        sheet->open();
    }
}

void SpotAlertsSidebar::showClearAllConfirmation()
{
    auto *box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("clearAllAlertsConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QStringLiteral("Clear all alerts?"));
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<b>Clear all alerts?</b>"));
    box->setInformativeText(QStringLiteral("This will completely reset all alerts, including their "
                                           "names, selections, actions and colours."));
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelClearAllButton"));
    QPushButton *clear = box->addButton(QStringLiteral("Clear All"), QMessageBox::DestructiveRole);
    clear->setObjectName(QStringLiteral("confirmClearAllButton"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this, [this, box, clear] {
        m_confirmation = nullptr;
        if (box->clickedButton() == clear)
            m_view.clearAllAlerts();
        m_view.setClearAllAlertsConfirmationPresented(false);
    });
    m_confirmation = box;
    box->open();
}

} // namespace varnello
