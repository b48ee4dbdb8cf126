#pragma once

#include "MainTab.h"
#include "MainWindowTexts.h"
#include "SpotListsSnapshot.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QStackedLayout;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace varnello {

class CallsignSearchField;
class ConsoleView;
class ContentView;
class ElidedLabel;
class EmptyStateView;
class RefreshCoalescer;
class SheetPresenter;
class SidePanel;
class SpotTableView;
class StatusDot;

// The main window: toolbar with the panel buttons and the callsign search; the main column with
// the status bar, the tabs, the table or console, and the bottom bars; the two floating panels;
// and the presenter of its sheets and alerts. It renders ContentView's state, at most once per
// turn of the event loop, and calls its actions.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int minimumContentWidth = 803;
    static constexpr int minimumContentHeight = 410;
    static constexpr int leftPanelWidth = 190;
    static constexpr int rightPanelWidth = 260;

    explicit MainWindow(ContentView &view, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Contents of the floating panels (band filters at the left, spot alerts at the right).
    void setLeftPanelWidget(QWidget *widget);
    void setRightPanelWidget(QWidget *widget);
    // The send-spot bar under the command field.
    void setSendSpotBar(QWidget *widget);
    // The status bar's Filters and RBN controls.
    void setFiltersControl(QWidget *widget);
    void setRBNControl(QWidget *widget);

    SheetPresenter &presenter() { return *m_presenter; }

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void buildToolbar();
    QWidget *buildStatusRow();
    QWidget *buildTabPicker();
    QWidget *buildTableArea();
    QWidget *buildBottomBar();
    void observeState();
    void replaceSlot(QPointer<QWidget> &slot, QWidget *widget);
    // Tab walks the window in visual order, whatever order its parts were installed in.
    void updateTabOrder();
    // Whether an open side panel hides `widget` (a control of the main column): it covers it
    // in whole or in good part.
    bool isUnderOpenPanel(const QWidget *widget) const;

    void refresh();
    void refreshToolbar();
    void refreshStatusRow(const SpotListsSnapshot &lists);
    void refreshTabs();
    void refreshTableArea(SpotListsSnapshot &lists);
    void refreshBottomBar();
    void connectShortcut();

    ContentView &m_view;
    RefreshCoalescer *m_refresh = nullptr;
    SheetPresenter *m_presenter = nullptr;
    bool m_appeared = false;
    bool m_refreshWhenSeen = false; // a refresh was skipped while minimised or hidden

    QAction *m_leftPanelAction = nullptr;
    QAction *m_rightPanelAction = nullptr;
    QWidget *m_leftPanelButton = nullptr;
    QWidget *m_rightPanelButton = nullptr;
    CallsignSearchField *m_search = nullptr;
    QWidget *m_body = nullptr;
    SidePanel *m_leftPanel = nullptr;
    SidePanel *m_rightPanel = nullptr;

    StatusDot *m_statusDot = nullptr;
    ElidedLabel *m_statusLabel = nullptr;
    ElidedLabel *m_addressLabel = nullptr;
    ElidedLabel *m_countLabel = nullptr;
    QWidget *m_countSlot = nullptr;
    QPointer<QWidget> m_filtersControl;
    QPointer<QWidget> m_rbnControl;
    QPushButton *m_connectButton = nullptr;
    QPushButton *m_clearSpotsButton = nullptr;

    QButtonGroup *m_tabs = nullptr;
    QStackedWidget *m_stack = nullptr;
    QStackedLayout *m_tableLayers = nullptr;
    SpotTableView *m_table = nullptr;
    bool m_tableIsAlertsOnly = false;
    bool m_tableHasList = false;
    EmptyStateView *m_emptyState = nullptr;
    EmptyStateAction m_emptyStateAction = EmptyStateAction::none;
    ConsoleView *m_console = nullptr;
    MainTab m_shownTab = MainTab::spots;

    QLineEdit *m_commandField = nullptr;
    QPushButton *m_sendButton = nullptr;
    QVBoxLayout *m_commandBlock = nullptr;
    QPointer<QWidget> m_sendSpotBar;
    QPushButton *m_pauseButton = nullptr;
    ElidedLabel *m_pauseLabel = nullptr;
};

} // namespace varnello
