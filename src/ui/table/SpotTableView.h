#pragma once

#include "SpotTableColumns.h"
#include "SpotTableInput.h"

#include <QPointer>
#include <QTableView>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

class QMenu;
class QMouseEvent;

namespace varnello {

class AppSettingsStore;
class Clock;
class LoTWActivityLookup;
class SpotTableDelegate;
class SpotTableModel;

// What the table needs from outside. Null members take the process-wide instance.
struct SpotTableEnvironment {
    AppSettingsStore *settings = nullptr;
    const LoTWActivityLookup *lotw = nullptr;
    const Clock *clock = nullptr;
    // Opens a web page in the user's browser (the platform's URL opener).
    std::function<bool(const QUrl &)> openUrl;
    // How long after a preset the column and window resizes it caused are still its own.
    std::chrono::milliseconds presetSettleTime{250};
};

// Where the table was scrolled to, kept per tab.
struct SpotTableScrollState {
    std::optional<QUuid> topSpotID;
    int offsetWithinTopRow = 0; // how far the top edge lies below the top row's top edge
    int absoluteY = 0;          // used when the top spot is gone
    bool isAtTop = true;

    bool operator==(const SpotTableScrollState &) const = default;
};

// The live spot table of both table tabs. The window hands it the list to show at every refresh
// (update()); the table turns new spots in front into row inserts that keep the reading
// position, keeps a scroll position per tab and reports when its first row comes into view or
// leaves it. It also owns its columns, the view presets and the saved column layout.
class SpotTableView final : public QTableView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotTableView)

public:
    explicit SpotTableView(SpotTableEnvironment environment = {}, QWidget *parent = nullptr);
    ~SpotTableView() override;

    using QTableView::update;
    void update(const SpotTableInput &input);

    SpotTableModel &spotModel() const { return *m_model; }

    void applyViewPreset(SpotTableViewPreset preset);
    // Copies the selected rows as TAB-separated lines; beeps when none is selected.
    void copySelection();
    // The context menu for a click at `position` (viewport coordinates), with the selection
    // adjusted as the click implies. The caller owns the menu.
    QMenu *makeContextMenu(const QPoint &position);

    SpotTableScrollState captureScrollState() const;
    bool isAtTop() const;
    bool isApplyingViewPreset() const { return m_isApplyingViewPreset; }

Q_SIGNALS:
    // The first row came into view (true) or left it (false). Sent once per change, on the turn
    // after the scroll; never for the table's own restores and scrolls to the top.
    void topStateChanged(bool isAtTop);
    // The LoTW header was clicked: the window flips its LoTW-only filter.
    void loTWFilterToggled();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Spots and scrolling
    void applySpots(const QList<DXSpot> &spots, const QHash<QUuid, SpotAlertColor> &colors,
                    bool keepPosition);
    void applyFrontRows(const SpotTableInput &input);
    // The spot under the top edge and how far into its row the edge lies.
    std::optional<std::pair<QUuid, int>> readingAnchor(int topRow) const;
    void keepReadingPosition(int topRow, const std::optional<std::pair<QUuid, int>> &anchor,
                             bool inserted, int anchorRow = -1);
    void applyScrollState(const SpotTableScrollState &state);
    void restoreScrollState(bool mode, quint64 generation, const SpotTableScrollState &state);
    void scrollToTop();
    void pinFirstRowToTop();
    void handleScrollChange();
    void setScrollY(int y);
    int rowTop(int row) const;
    QSet<QUuid> selectedSpotIDs() const;
    void restoreSelection(const QSet<QUuid> &ids);
    QList<int> selectedRowNumbers() const;

    // Columns and presets
    void configureTable();
    void restoreColumnLayout();
    void saveColumnLayout();
    void applyColumnWidths(const std::array<int, spotTableColumnCount> &widths);
    void handleSectionResized(int logical, int oldSize, int newSize);
    void handleColumnChangedByUser();
    void handleHeaderClick(int logical);
    void handleWindowResized();
    void attachToWindow();
    void markCustomPreset();
    void postPresetState();
    void endPresetApplicationLater();
    void handleNotification(const QString &name);

    // Rows
    void handleDoubleClick(const QModelIndex &index);
    // Where the last column ends, in viewport coordinates.
    int rowsEndX() const;
    // A frame round the current row while the table has the keyboard, so Tab shows where it is.
    void paintFocusFrame(const QRect &dirty);
    // The band right of the last column.
    void paintBand(const QRect &dirty);
    void watchRowEnds();
    std::unique_ptr<QMouseEvent> movedOffTheBand(const QMouseEvent &event) const;

    AppSettingsStore &m_settings;
    const Clock &m_clock;
    std::function<bool(const QUrl &)> m_openUrl;
    std::chrono::milliseconds m_presetSettleTime;
    SpotTableModel *m_model = nullptr;
    SpotTableDelegate *m_delegate = nullptr;

    // Per-tab scroll keeping (index: isAlertsOnly)
    bool m_hasInput = false;
    bool m_currentIsAlertsOnly = false;
    bool m_isRestoringScrollPosition = false;
    quint64 m_modeSwitchGeneration = 0;
    SpotTableScrollState m_scrollStates[2];
    bool m_lastIsAtTopByMode[2] = {true, true};
    int m_handledScrollToTopRequest = 0;

    // Columns and presets
    bool m_isRestoringColumnLayout = false;
    bool m_isClampingSection = false;
    bool m_isApplyingViewPreset = false;
    quint64 m_presetGeneration = 0;
    QPointer<QWidget> m_window;
    bool m_windowResizesCount = false;
};

} // namespace varnello
