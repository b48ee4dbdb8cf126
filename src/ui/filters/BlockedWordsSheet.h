#pragma once

#include <QDialog>
#include <QSize>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace varnello {

class ContentView;

// The "Custom Info Filter" sheet: edits a draft of the blocked words and phrases held by
// ContentView; nothing is stored before Save or Save and Enable. Shown by the window's presenter
// while ContentView::customInfoFilterSession() is set; closes itself when the session ends.
class BlockedWordsSheet final : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize sheetSize{650, 650};

    BlockedWordsSheet(ContentView &view, QWidget *parent = nullptr);

    void reject() override; // Escape and Cancel

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    void refreshList();

    ContentView &m_view;
    QLabel *m_count = nullptr;
    QLineEdit *m_entry = nullptr;
    QPushButton *m_add = nullptr;
    QStackedWidget *m_listArea = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_clearAll = nullptr;
    QPushButton *m_saveAndEnable = nullptr;
    QStringList m_shownTerms;
};

} // namespace varnello
