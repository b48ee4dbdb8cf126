#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace varnello {

class ClubLogExplanationSheet;
class ContentView;
class EntityPickerList;
class LineLimitedLabel;

// "Populate from Club Log" over the alert editor: needed-for, modes, bands, one entity or all,
// and Apply, which runs the view's Club Log lookup and fills the editor's draft. Shown while the
// view presents it; it closes itself when the view stops presenting it, and shows the
// explanation over itself while the view asks for that.
class ClubLogPopulateSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClubLogPopulateSheet)

public:
    static constexpr int designWidth = 800;

    ClubLogPopulateSheet(ContentView &view, QWidget *parent);
    ~ClubLogPopulateSheet() override;

    // Escape: the same as Cancel.
    void reject() override;
    ClubLogExplanationSheet *explanation() const;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *buildSettingsColumn();
    QWidget *buildBandsSection(QWidget *parent);
    QWidget *buildStatusArea(QWidget *parent);
    QWidget *buildEntityPanel();
    void scheduleRefresh();
    void refresh();
    void refreshStatus();
    void followPresentation();

    ContentView &m_view;
    bool m_appeared = false;
    QTimer m_refreshTimer;
    QLabel *m_summary = nullptr;
    QCheckBox *m_notWorked = nullptr;
    QCheckBox *m_notConfirmed = nullptr;
    QHash<int, QCheckBox *> m_modeBoxes;
    QHash<QString, QCheckBox *> m_bandBoxes;
    QStackedWidget *m_status = nullptr;
    QLabel *m_messageIcon = nullptr;
    LineLimitedLabel *m_message = nullptr;
    EntityPickerList *m_picker = nullptr;
    QPushButton *m_clearSelection = nullptr;
    QPushButton *m_apply = nullptr;
    QPointer<ClubLogExplanationSheet> m_explanation;
};

} // namespace varnello
