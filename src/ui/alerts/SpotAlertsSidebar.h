#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>

class QCheckBox;
class QLabel;
class QMessageBox;
class QPushButton;
class QToolButton;

namespace varnello {

class AlertColorDot;
class ContentView;
class NewSlotAlertSheet;

// The right-hand panel of the main window: the New Slot Alert and the five alert slots with their
// switches and summaries, and "Clear All". It keeps no copy of the alerts: every refresh reads the
// stored alerts again through the view, so whatever saved them last shows. The Clear All
// confirmation and the New Slot sheet belong to the panel and are shown while the view asks for
// them.
class SpotAlertsSidebar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpotAlertsSidebar)

public:
    explicit SpotAlertsSidebar(ContentView &view, QWidget *parent = nullptr);
    ~SpotAlertsSidebar() override;

    // Re-reads every row now (changes schedule it for the next turn on their own).
    void refresh();

private:
    struct SlotRow {
        QCheckBox *enabled = nullptr;
        AlertColorDot *dot = nullptr;
        QLabel *title = nullptr;
        QToolButton *gear = nullptr;
        QLabel *entitySummary = nullptr;
        QLabel *slotSummary = nullptr;
        QLabel *actionSymbol = nullptr;
        QLabel *actionSummary = nullptr;
    };
    struct NewSlotRow {
        QCheckBox *enabled = nullptr;
        AlertColorDot *dot = nullptr;
        QLabel *refreshDate = nullptr;
    };

    QWidget *buildHeader();
    QWidget *buildNewSlotRow();
    QWidget *buildSlotRow(int slot);
    void scheduleRefresh();
    void followPresentations();
    void showClearAllConfirmation();

    ContentView &m_view;
    QPushButton *m_clearAll = nullptr;
    NewSlotRow m_newSlot;
    std::array<SlotRow, 5> m_rows;
    QTimer m_refreshTimer;
    QPointer<QMessageBox> m_confirmation;
    QPointer<NewSlotAlertSheet> m_newSlotSheet;
};

} // namespace varnello
