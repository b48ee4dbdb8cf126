#include "MainWindow.h"

#include "AppSettingsStore.h"
#include "CallsignSearchField.h"
#include "ClusterConnection.h"
#include "ConsoleView.h"
#include "ContentView.h"
#include "EmptyStateView.h"
#include "Icons.h"
#include "RefreshCoalescer.h"
#include "SheetPresenter.h"
#include "SidePanel.h"
#include "SpotTableView.h"
#include "UrlOpener.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace varnello {

MainWindow::MainWindow(ContentView &view, QWidget *parent) : QMainWindow(parent), m_view(view)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Varnello"));
    m_refresh =
        new RefreshCoalescer([this] { refresh(); }, RefreshCoalescer::defaultMinimumInterval, this);

    buildToolbar();

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("windowBody"));
    m_body->setMinimumSize(minimumContentWidth, minimumContentHeight);
    m_body->installEventFilter(this);
    auto *column = new QVBoxLayout(m_body);
    column->setSpacing(10);
    column->addWidget(buildStatusRow());
    column->addWidget(buildTabPicker());
    column->addWidget(buildTableArea(), 1);
    column->addWidget(buildBottomBar());
    setCentralWidget(m_body);

    // Above the main column, never narrowing it.
    m_leftPanel = new SidePanel(SidePanel::Edge::leading, leftPanelWidth, m_body);
    m_leftPanel->setObjectName(QStringLiteral("leftPanel"));
    m_rightPanel = new SidePanel(SidePanel::Edge::trailing, rightPanelWidth, m_body);
    m_rightPanel->setObjectName(QStringLiteral("rightPanel"));
    // Their contents come from the filter and alert panels (installFilterPanels, ...).
    setLeftPanelWidget(new QWidget);
    setRightPanelWidget(new QWidget);

    // Typing in a fresh window goes to the node as a command. Left to Qt, the keyboard would
    // start, unseen, on the first stop of the Tab chain: the Band Filters button.
    m_commandField->setFocus();

    m_presenter = new SheetPresenter(m_view, this);
    connectShortcut();
    observeState();
    m_refresh->request();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildToolbar()
{
    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    m_leftPanelAction = toolbar->addAction(themedIcon(u"sidebar.left"), QString());
    m_leftPanelAction->setObjectName(QStringLiteral("leftPanelAction"));
    connect(m_leftPanelAction, &QAction::triggered, this, [this] {
        if (!m_view.sidebarIsVisible()) {
            // Opening the panel ends any text editing first; the keyboard stays on the button
            // that opened it.
            QWidget *focused = QApplication::focusWidget();
            if (focused && focused != m_leftPanelButton)
                focused->clearFocus();
        }
        m_view.setSidebarIsVisible(!m_view.sidebarIsVisible());
    });

    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    m_search = new CallsignSearchField(toolbar);
    toolbar->addWidget(m_search);
    connect(m_search, &CallsignSearchField::textEdited, &m_view,
            &ContentView::setSpotCallsignSearch);
    connect(m_search, &CallsignSearchField::clearRequested, &m_view,
            &ContentView::clearCallsignSearch);

    m_rightPanelAction = toolbar->addAction(themedIcon(u"sidebar.right"), QString());
    m_rightPanelAction->setObjectName(QStringLiteral("rightPanelAction"));
    connect(m_rightPanelAction, &QAction::triggered, this,
            [this] { m_view.setAlertSidebarIsVisible(!m_view.alertSidebarIsVisible()); });
    addToolBar(Qt::TopToolBarArea, toolbar);

    // A toolbar's buttons take no focus; these two are the keyboard's only way to the panels.
    const auto keyboardButton = [toolbar](QAction *action, const QString &name,
                                          const QString &accessibleName) {
        QWidget *button = toolbar->widgetForAction(action);
        button->setObjectName(name);
        button->setAccessibleName(accessibleName);
        button->setFocusPolicy(Qt::TabFocus);
        return button;
    };
    m_leftPanelButton = keyboardButton(m_leftPanelAction, QStringLiteral("leftPanelButton"),
                                       QStringLiteral("Band Filters"));
    m_rightPanelButton = keyboardButton(m_rightPanelAction, QStringLiteral("rightPanelButton"),
                                        QStringLiteral("Spot Alerts"));
}

QWidget *MainWindow::buildTableArea()
{
    m_stack = new QStackedWidget(m_body);
    m_stack->setObjectName(QStringLiteral("mainStack"));

    auto *tableArea = new QWidget(m_stack);
    tableArea->setObjectName(QStringLiteral("tableArea"));
    m_tableLayers = new QStackedLayout(tableArea);
    m_tableLayers->setStackingMode(QStackedLayout::StackAll);
    m_emptyState = new EmptyStateView(tableArea);
    m_emptyState->setAutoFillBackground(true);
    connect(m_emptyState, &EmptyStateView::actionTriggered, this,
            [this] { m_view.runEmptyStateAction(m_emptyStateAction); });
    SpotTableEnvironment tableEnvironment;
    tableEnvironment.settings = &m_view.settingsStore();
    tableEnvironment.openUrl = [](const QUrl &url) { return UrlOpener::shared().open(url); };
    m_table = new SpotTableView(tableEnvironment, tableArea);
    m_table->setObjectName(QStringLiteral("spotTable"));
    connect(m_table, &SpotTableView::loTWFilterToggled, &m_view,
            [this] { m_view.setShowLoTWOnly(!m_view.showLoTWOnly()); });
    // Reported for the list the table was last given.
    connect(m_table, &SpotTableView::topStateChanged, &m_view, [this](bool isAtTop) {
        m_view.handleTableTopStateChange(isAtTop, m_tableIsAlertsOnly);
    });
    m_tableLayers->addWidget(m_table);
    // The empty-state panel lies over the table.
    m_tableLayers->addWidget(m_emptyState);
    m_emptyState->raise();

    m_console = new ConsoleView(m_stack);
    m_stack->addWidget(tableArea);
    m_stack->addWidget(m_console);
    return m_stack;
}

void MainWindow::setLeftPanelWidget(QWidget *widget)
{
    m_leftPanel->setContentWidget(widget);
    updateTabOrder();
}

void MainWindow::setRightPanelWidget(QWidget *widget)
{
    m_rightPanel->setContentWidget(widget);
    updateTabOrder();
}

void MainWindow::replaceSlot(QPointer<QWidget> &slot, QWidget *widget)
{
    if (!slot || !slot->parentWidget() || !slot->parentWidget()->layout())
        return;
    QLayout *layout = slot->parentWidget()->layout();
    // Searched in nested layouts too.
    if (QLayoutItem *old = layout->replaceWidget(slot, widget)) {
        delete old;
        slot->deleteLater();
        slot = widget;
    }
}

void MainWindow::setFiltersControl(QWidget *widget)
{
    replaceSlot(m_filtersControl, widget);
    updateTabOrder();
}

void MainWindow::setRBNControl(QWidget *widget)
{
    replaceSlot(m_rbnControl, widget);
    updateTabOrder();
}

void MainWindow::setSendSpotBar(QWidget *widget)
{
    if (m_sendSpotBar) {
        m_commandBlock->removeWidget(m_sendSpotBar);
        m_sendSpotBar->deleteLater();
    }
    m_sendSpotBar = widget;
    if (widget)
        m_commandBlock->addWidget(widget);
    updateTabOrder();
}

void MainWindow::observeState()
{
    const auto request = [this] { m_refresh->request(); };
    for (auto signal : {&ContentView::windowStateChanged, &ContentView::spotFiltersChanged,
                        &ContentView::spotsChanged, &ContentView::pauseStateChanged,
                        &ContentView::selectedTabChanged, &ContentView::spotCallsignSearchChanged,
                        &ContentView::filterPanelsChanged})
        connect(&m_view, signal, this, request);
    connect(&m_view, &ContentView::alertsChanged, this, request);
    connect(&m_view, &ContentView::alertEditorChanged, this, request);
    connect(&m_view, &ContentView::presentationChanged, this, request);
    if (ClusterConnection *cluster = m_view.cluster()) {
        for (auto signal :
             {&ClusterConnection::spotsChanged, &ClusterConnection::linesChanged,
              &ClusterConnection::statusTextChanged, &ClusterConnection::isConnectedChanged,
              &ClusterConnection::isLoggedInChanged, &ClusterConnection::activeNodeChanged,
              &ClusterConnection::isConnectionSequenceActiveChanged,
              &ClusterConnection::spotSubmissionAlertMessageChanged,
              &ClusterConnection::upstreamFilterWarningLinesChanged,
              &ClusterConnection::clusterNodeWarningChanged,
              &ClusterConnection::autoReconnectChanged})
            connect(cluster, signal, this, request);
        connect(&cluster->autoReconnectController(), &AutoReconnectController::alertChanged, this,
                request);
    }
    // The status bar and the empty state read the login and node settings.
    connect(&m_view.settingsStore(), &AppSettingsStore::valueChanged, this, request);
}

void MainWindow::connectShortcut()
{
    // Ctrl+Return belongs to the Connect button only: it does nothing while the button is Cancel
    // or Disconnect.
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_view.connectButtonRole() == ConnectButtonRole::connect)
                m_view.connect(ConnectionOrigin::manual);
        });
    }
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_refreshWhenSeen)
        m_refresh->request();
    if (m_appeared)
        return;
    m_appeared = true;
    m_view.handleAppear();
    m_view.postMainTabChanged();
    m_refresh->flush();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_refreshWhenSeen && !isMinimized())
        m_refresh->request();
}

bool MainWindow::isUnderOpenPanel(const QWidget *widget) const
{
    const QRect area(widget->mapTo(m_body, QPoint(0, 0)), widget->size());
    for (const SidePanel *panel : {m_leftPanel, m_rightPanel}) {
        if (!panel->isVisible() || panel->isAncestorOf(widget))
            continue;
        const QRect covered = area.intersected(panel->geometry());
        // The table and the long fields keep their stop while most of them stays in view.
        if (!covered.isEmpty() && 3 * (area.width() - covered.width()) < 2 * area.width())
            return true;
    }
    return false;
}

bool MainWindow::focusNextPrevChild(bool next)
{
    // Tab passes by what an open panel hides: it is out of the chain for this one step, so Qt's
    // own walk (wrapping, Shift+Tab, compound widgets) decides the rest.
    if (!m_leftPanel->isVisible() && !m_rightPanel->isVisible())
        return QMainWindow::focusNextPrevChild(next);
    QList<QPair<QWidget *, Qt::FocusPolicy>> passedBy;
    for (QWidget *widget : m_body->findChildren<QWidget *>()) {
        const Qt::FocusPolicy policy = widget->focusPolicy();
        if ((policy & Qt::TabFocus) && !widget->focusProxy() && widget->isVisible() &&
            isUnderOpenPanel(widget)) {
            passedBy.append({widget, policy});
            widget->setFocusPolicy(Qt::FocusPolicy(policy & ~Qt::TabFocus));
        }
    }
    const bool moved = QMainWindow::focusNextPrevChild(next);
    for (const auto &[widget, policy] : passedBy)
        widget->setFocusPolicy(policy);
    return moved;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_body && event->type() == QEvent::Resize) {
        m_leftPanel->place();
        m_rightPanel->place();
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Refresh ------------------------------------------------------------------------------------

void MainWindow::refresh()
{
    // Nothing is laid out or painted for a window nobody sees; it catches up when it comes back.
    if (isMinimized() || (m_appeared && !isVisible())) {
        m_refreshWhenSeen = true;
        m_presenter->refresh();
        return;
    }
    m_refreshWhenSeen = false;
    // The table keeps the rows it was given: it gets only what came in front since the last
    // refresh, or the whole list after a tab switch or any other change of its rows.
    const bool alertsOnly = m_view.alertsOnlyTableIsSelected();
    SpotListsSnapshot lists =
        m_view.spotListsUpdate(alertsOnly, !m_tableHasList || alertsOnly != m_tableIsAlertsOnly);
    refreshToolbar();
    refreshStatusRow(lists);
    refreshTabs();
    refreshTableArea(lists);
    refreshBottomBar();
    m_presenter->refresh();
}

void MainWindow::refreshToolbar()
{
    m_search->setText(m_view.spotCallsignSearch());
    const bool left = m_view.sidebarIsVisible();
    const bool right = m_view.alertSidebarIsVisible();
    m_leftPanelAction->setToolTip(left ? QStringLiteral("Hide Band Filters")
                                       : QStringLiteral("Show Band Filters"));
    m_rightPanelAction->setToolTip(right ? QStringLiteral("Hide Spot Alerts")
                                         : QStringLiteral("Show Spot Alerts"));
    m_leftPanel->setShown(left, isVisible());
    m_rightPanel->setShown(right, isVisible());
}

void MainWindow::refreshTableArea(SpotListsSnapshot &lists)
{
    SpotTableInput input;
    input.isAlertsOnly = m_view.alertsOnlyTableIsSelected();
    input.spots =
        input.isAlertsOnly ? std::move(lists.alertsOnlySpots) : std::move(lists.displayedSpots);
    input.highlightColorsBySpotID = std::move(lists.highlightColorsBySpotID);
    input.keptRows = lists.keptRows;
    input.showLoTWOnly = m_view.showLoTWOnly();
    input.scrollToTopRequest = m_view.scrollToTopRequest();
    const bool empty =
        (input.isAlertsOnly ? lists.alertsOnlySpotCount : lists.displayedSpotCount) == 0;
    m_tableIsAlertsOnly = input.isAlertsOnly;
    m_tableHasList = true;
    m_table->update(input);
    m_emptyState->setVisible(empty);
    if (empty) {
        const EmptyStateContent content = m_view.emptyState();
        m_emptyStateAction = content.action;
        m_emptyState->setContent(themedIcon(content.symbol), content.title, content.description,
                                 emptyStateActionTitle(content.action));
    }

    const MainTab tab = m_view.selectedTab();
    m_stack->setCurrentWidget(tab == MainTab::console ? static_cast<QWidget *>(m_console)
                                                      : m_stack->widget(0));
    m_console->setFollowsBottom(tab == MainTab::console);
    if (ClusterConnection *cluster = m_view.cluster())
        m_console->sync(cluster->lines());
    if (tab == MainTab::console && m_shownTab != MainTab::console) {
        // After the switch has been laid out.
        QTimer::singleShot(0, m_console, &ConsoleView::scrollToBottom);
    }
    m_shownTab = tab;
}

} // namespace varnello
