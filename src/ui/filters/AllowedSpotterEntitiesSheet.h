#pragma once

#include <QDialog>
#include <QSize>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace varnello {

class ContentView;

// The "Allowed Spotter Entities" sheet: picks the spotter entities of the allow list by hand or
// by a radius around the home grid. Edits ContentView's draft; the stored list changes only
// through Save and Save and Enable. Shown by the window's presenter while
// ContentView::customSpotterEntitySession() is set; closes itself when the session ends.
class AllowedSpotterEntitiesSheet final : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize sheetSize{650, 650};

    AllowedSpotterEntitiesSheet(ContentView &view, QWidget *parent = nullptr);

    void reject() override; // Escape and Cancel

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildLeftColumn();
    QWidget *buildRightColumn();
    void refresh();
    void refreshList();
    void selectWithinRadius();

    ContentView &m_view;
    QLabel *m_count = nullptr;
    QLineEdit *m_grid = nullptr;
    QLineEdit *m_radius = nullptr;
    QComboBox *m_unit = nullptr;
    QPushButton *m_select = nullptr;
    QWidget *m_selecting = nullptr;
    QLabel *m_message = nullptr;
    QStackedWidget *m_rightArea = nullptr;
    QLabel *m_unavailableText = nullptr;
    QLineEdit *m_search = nullptr;
    QToolButton *m_clearSearch = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_clearAll = nullptr;
    QSet<int> m_shownDraft;
    QString m_shownSearch;
    qsizetype m_shownEntityCount = -1;
};

} // namespace varnello
