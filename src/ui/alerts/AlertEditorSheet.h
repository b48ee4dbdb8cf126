#pragma once

#include "AlertActionControls.h"
#include "AlertModel.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QUuid>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace varnello {

class AlertCallsignList;
class AlertEmptyState;
class ClubLogPopulateSheet;
class ContentView;
class EntityPickerList;

// The editor of one alert slot, shown while ContentView's editor session is set: name and
// selection summary, bands, modes and actions (or the read-only Club Log section), the entity
// picker, Club Log entity view or callsign list, and Clear All / Club Log… / Cancel / Save /
// Save and Enable. Every control edits the view's draft; the sheet closes itself when its
// session ends and presents "Populate from Club Log" over itself while the view asks for it.
class AlertEditorSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertEditorSheet)

public:
    static constexpr int designWidth = 780;
    static constexpr int designHeight = 780;

    AlertEditorSheet(ContentView &view, QWidget *parent);
    ~AlertEditorSheet() override;

    // Escape: the same as Cancel.
    void reject() override;
    ClubLogPopulateSheet *populateSheet() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildHeader(QVBoxLayout *layout);
    QWidget *buildColumns();
    QWidget *buildSettingsColumn();
    QWidget *buildBandsSection();
    QWidget *buildModesSection();
    QWidget *buildActionsSection();
    QWidget *buildClubLogSection();
    QWidget *buildClubLogEntityView();
    QWidget *buildButtons();
    void scheduleRefresh();
    void refresh();
    void refreshActions();
    void refreshClubLogSection();
    void followSession();
    void followPopulateSheet();

    ContentView &m_view;
    QUuid m_session;
    int m_slot = 0;
    bool m_appeared = false;
    QTimer m_refreshTimer;

    QLineEdit *m_name = nullptr;
    QLabel *m_summary = nullptr;
    QStackedWidget *m_body = nullptr;
    AlertEmptyState *m_unavailable = nullptr;
    QWidget *m_columns = nullptr;
    QWidget *m_plainSections = nullptr;
    QWidget *m_clubLogSection = nullptr;
    QLabel *m_clubLogType = nullptr;
    QVBoxLayout *m_clubLogLines = nullptr;
    QStringList m_shownSlotLines{QStringLiteral("-")};
    QHash<QString, QCheckBox *> m_bandBoxes;
    QHash<int, QCheckBox *> m_modeBoxes;

    AlertActionControls m_actions;
    QLabel *m_noActionCaption = nullptr;

    QStackedWidget *m_rightColumn = nullptr;
    EntityPickerList *m_picker = nullptr;
    QWidget *m_clubLogEntityView = nullptr;
    QLabel *m_clubLogEntityName = nullptr;
    QLabel *m_clubLogEntityCaption = nullptr;
    AlertCallsignList *m_callsigns = nullptr;

    QPushButton *m_clearAll = nullptr;
    QPushButton *m_clubLog = nullptr;
    QPointer<ClubLogPopulateSheet> m_populate;
};

} // namespace varnello
