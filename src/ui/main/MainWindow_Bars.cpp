// The main column's bars: status bar, tab picker and the bottom bars (command field, send-spot
// bar, pause control).
#include "MainWindow.h"

#include "CallsignSearchField.h"
#include "ClusterConnection.h"
#include "ConsoleView.h"
#include "ContentView.h"
#include "ElidedLabel.h"
#include "EmptyStateView.h"
#include "Icons.h"
#include "SidePanel.h"
#include "SizeHintSlot.h"
#include "SpotTableView.h"
#include "StatusDot.h"
#include "Typography.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

namespace varnello {

namespace {

constexpr int bottomBarSpacing = 16;
constexpr int dividerHeight = 58;
constexpr int pauseBlockWidth = 150;
constexpr int pauseButtonWidth = 110;
constexpr int pauseLabelHeight = 16;

ElidedLabel *statusLabel(const QString &objectName, QWidget *parent, bool secondary)
{
    // Long texts give way before the buttons do, cut with "…" and whole in their tooltips; they
    // ask for their whole width, so that only a narrow window cuts them.
    auto *label = new ElidedLabel(QString(), parent);
    label->setObjectName(objectName);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    if (secondary)
        makeSecondary(label);
    return label;
}

// Stands in for a control that another panel provides.
QPushButton *placeholderButton(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setEnabled(false);
    return button;
}

// A panel's scroll area of controls is no stop of its own: Tab goes to its controls, and the
// area scrolls to each.
bool passOnToControls(QWidget *widget)
{
    auto *scroll = qobject_cast<QScrollArea *>(widget);
    if (!scroll || !scroll->widget())
        return false;
    scroll->setFocusPolicy(Qt::ClickFocus);
    return true;
}

// The widgets in `root` that Tab stops at, in the order they were made: a widget that takes Tab
// is one stop with everything inside it (a table, a text field with its buttons).
void appendTabStops(QWidget *root, QList<QWidget *> &stops)
{
    if (!root)
        return;
    if ((root->focusPolicy() & Qt::TabFocus) && !passOnToControls(root)) {
        stops.append(root);
        return;
    }
    const qsizetype first = stops.size();
    const auto insideEarlierStop = [&](QWidget *widget) {
        for (QWidget *up = widget->parentWidget(); up && up != root; up = up->parentWidget()) {
            if (stops.indexOf(up, first) >= 0)
                return true;
        }
        return false;
    };
    for (QWidget *child : root->findChildren<QWidget *>()) {
        if ((child->focusPolicy() & Qt::TabFocus) && !child->focusProxy() &&
            !insideEarlierStop(child) && !passOnToControls(child))
            stops.append(child);
    }
}

} // namespace

void MainWindow::updateTabOrder()
{
    // Visual order: the toolbar (band filters button, search field, Spot Alerts button), the
    // band filters at the left, then the main column from top to bottom and left to right, then
    // the Spot Alerts panel at the right.
    QList<QWidget *> stops;
    appendTabStops(m_leftPanelButton, stops);
    appendTabStops(m_search, stops);
    appendTabStops(m_rightPanelButton, stops);
    appendTabStops(m_leftPanel, stops);
    appendTabStops(m_filtersControl, stops);
    appendTabStops(m_rbnControl, stops);
    appendTabStops(m_connectButton, stops);
    appendTabStops(m_clearSpotsButton, stops);
    for (QAbstractButton *button : m_tabs->buttons())
        appendTabStops(button, stops);
    appendTabStops(m_table, stops);
    appendTabStops(m_emptyState, stops);
    appendTabStops(m_console, stops);
    appendTabStops(m_commandField, stops);
    appendTabStops(m_sendButton, stops);
    appendTabStops(m_sendSpotBar, stops);
    appendTabStops(m_pauseButton, stops);
    appendTabStops(m_rightPanel, stops);
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops.at(i - 1), stops.at(i));
}

QWidget *MainWindow::buildStatusRow()
{
    auto *row = new QWidget(m_body);
    row->setObjectName(QStringLiteral("statusRow"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    m_statusDot = new StatusDot(row);
    m_statusLabel = statusLabel(QStringLiteral("statusText"), row, false);
    m_addressLabel = statusLabel(QStringLiteral("nodeAddress"), row, true);
    // The host name is the text of the row that the operator can best spare: it gives way first,
    // down to "…", before the state or the count lose a letter. The layout counts none of its
    // width as wanted, so the others keep their whole texts while the row has room for them; its
    // stretch hands it the room they leave before the flexible space takes any, up to its whole
    // text (refreshStatusRow), so the count stays by it.
    m_addressLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_addressLabel->setMinimumWidth(m_addressLabel->minimumSizeHint().width());
    m_countLabel = statusLabel(QStringLiteral("spotCount"), row, true);
    // The count changes with nearly every spot; one of the same width only repaints the label.
    m_countSlot = new SizeHintSlot(m_countLabel, row);
    m_filtersControl =
        placeholderButton(QStringLiteral("Filters"), QStringLiteral("filtersButton"), row);
    m_rbnControl = placeholderButton(QStringLiteral("RBN"), QStringLiteral("rbnButton"), row);

    m_connectButton = new QPushButton(row);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    connect(m_connectButton, &QPushButton::clicked, &m_view, &ContentView::pressConnectButton);
    m_clearSpotsButton = new QPushButton(QStringLiteral("Clear Spots"), row);
    m_clearSpotsButton->setObjectName(QStringLiteral("clearSpotsButton"));
    connect(m_clearSpotsButton, &QPushButton::clicked, &m_view, &ContentView::clearSpots);

    layout->addWidget(m_statusDot);
    layout->addWidget(m_statusLabel);
    layout->addWidget(m_addressLabel, 1);
    layout->addWidget(m_countSlot);
    layout->addStretch();
    layout->addWidget(m_filtersControl);
    layout->addWidget(m_rbnControl);
    layout->addWidget(m_connectButton);
    layout->addWidget(m_clearSpotsButton);
    return row;
}

QWidget *MainWindow::buildTabPicker()
{
    auto *row = new QWidget(m_body);
    row->setObjectName(QStringLiteral("tabPicker"));
    row->setAccessibleName(QStringLiteral("View"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);

    m_tabs = new QButtonGroup(row);
    m_tabs->setExclusive(true);
    struct Segment {
        MainTab tab;
        QString text;
        QStringView symbol;
        QString objectName;
    };
    const Segment segments[] = {
        {MainTab::spots, QStringLiteral("Spots"), u"antenna.radiowaves.left.and.right",
         QStringLiteral("tabSpots")},
        {MainTab::alertsOnly, QStringLiteral("Alerts Only"), u"bell",
         QStringLiteral("tabAlertsOnly")},
        {MainTab::console, QStringLiteral("Console"), u"terminal", QStringLiteral("tabConsole")},
    };
    for (const Segment &segment : segments) {
        auto *button = new QToolButton(row);
        button->setObjectName(segment.objectName);
        button->setText(segment.text);
        button->setIcon(themedIcon(segment.symbol));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setCheckable(true);
        m_tabs->addButton(button, static_cast<int>(segment.tab));
        layout->addWidget(button);
    }
    connect(m_tabs, &QButtonGroup::idClicked, this,
            [this](int id) { m_view.setSelectedTab(static_cast<MainTab>(id)); });
    layout->addStretch(1);
    return row;
}

QWidget *MainWindow::buildBottomBar()
{
    auto *bar = new QWidget(m_body);
    bar->setObjectName(QStringLiteral("bottomBar"));
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(bottomBarSpacing);

    m_commandBlock = new QVBoxLayout;
    m_commandBlock->setSpacing(10);
    auto *commandRow = new QHBoxLayout;
    m_commandField = new QLineEdit(bar);
    m_commandField->setObjectName(QStringLiteral("commandField"));
    m_commandField->setPlaceholderText(QStringLiteral("Cluster command"));
    m_commandField->setClearButtonEnabled(false);
    connect(m_commandField, &QLineEdit::textEdited, &m_view, &ContentView::setCommand);
    // The field is emptied as its line is taken, not at the window's next refresh: a key typed
    // right behind Return (a fast typist's rollover, a tool typing lines) begins the next line.
    const auto sendLine = [this] {
        m_view.sendCommand();
        if (m_commandField->text() != m_view.command())
            m_commandField->setText(m_view.command());
    };
    connect(m_commandField, &QLineEdit::returnPressed, this, sendLine);
    m_sendButton = new QPushButton(QStringLiteral("Send"), bar);
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    connect(m_sendButton, &QPushButton::clicked, this, sendLine);
    commandRow->addWidget(m_commandField, 1);
    commandRow->addWidget(m_sendButton);
    m_commandBlock->addLayout(commandRow);
    layout->addLayout(m_commandBlock, 1);

    auto *divider = new QFrame(bar);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    divider->setFixedHeight(dividerHeight);
    layout->addWidget(divider);

    auto *pauseBlock = new QWidget(bar);
    pauseBlock->setFixedWidth(pauseBlockWidth);
    auto *pauseLayout = new QVBoxLayout(pauseBlock);
    pauseLayout->setContentsMargins(0, 0, 0, 0);
    pauseLayout->setSpacing(6);
    m_pauseButton = new QPushButton(QStringLiteral("Pause"), pauseBlock);
    m_pauseButton->setObjectName(QStringLiteral("pauseButton"));
    m_pauseButton->setFixedWidth(pauseButtonWidth);
    connect(m_pauseButton, &QPushButton::clicked, &m_view, &ContentView::togglePauseOfCurrentTab);
    m_pauseLabel = statusLabel(QStringLiteral("pauseLabel"), pauseBlock, true);
    m_pauseLabel->setFont(styledFont(TextStyle::caption));
    m_pauseLabel->setFixedHeight(pauseLabelHeight);
    m_pauseLabel->setAlignment(Qt::AlignCenter);
    pauseLayout->addStretch(1);
    pauseLayout->addWidget(m_pauseButton, 0, Qt::AlignHCenter);
    pauseLayout->addWidget(m_pauseLabel);
    pauseLayout->addStretch(1);
    layout->addWidget(pauseBlock);
    return bar;
}

void MainWindow::refreshStatusRow(const SpotListsSnapshot &lists)
{
    ClusterConnection *cluster = m_view.cluster();
    const bool loggedIn = cluster && cluster->isLoggedIn();
    m_statusDot->setStatusColor(m_view.statusColor());
    m_statusLabel->setTextAndToolTip(m_view.statusText());
    const QString address = m_view.nodeAddressText();
    m_addressLabel->setVisible(loggedIn && !address.isEmpty());
    m_addressLabel->setTextAndToolTip(QStringLiteral("— ") + address);
    m_addressLabel->setMaximumWidth(m_addressLabel->sizeHint().width());
    m_countSlot->setVisible(loggedIn);
    if (loggedIn) {
        m_countLabel->setTextAndToolTip(QStringLiteral("— ") + lists.spotCountLabel);
    }
    m_connectButton->setText(connectButtonTitle(m_view.connectButtonRole()));
    m_clearSpotsButton->setEnabled(cluster && !cluster->spots().isEmpty());
}

void MainWindow::refreshTabs()
{
    if (QAbstractButton *button = m_tabs->button(static_cast<int>(m_view.selectedTab())))
        button->setChecked(true);
}

void MainWindow::refreshBottomBar()
{
    if (m_commandField->text() != m_view.command())
        m_commandField->setText(m_view.command());
    m_sendButton->setEnabled(m_view.canSendCommand());
    const bool paused = m_view.isCurrentTabPaused();
    m_pauseButton->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    // A blank keeps the row's height while nothing is paused.
    QString label = QStringLiteral(" ");
    if (paused) {
        label = m_view.selectedTab() == MainTab::alertsOnly ? m_view.alertsPauseLabel()
                                                            : m_view.spotsPauseLabel();
    }
    m_pauseLabel->setTextAndToolTip(label);
}

} // namespace varnello
