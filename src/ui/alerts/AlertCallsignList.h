#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace varnello {

class AlertEmptyState;
class ContentView;

// The Callsign Alert's right column: the entry field with "Add", then the patterns of the draft
// with a remove button each, or the "No Callsigns" panel.
class AlertCallsignList final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertCallsignList)

public:
    AlertCallsignList(ContentView &view, QWidget *parent = nullptr);
    void refresh();

private:
    ContentView &m_view;
    QLineEdit *m_entry;
    QPushButton *m_add;
    QStackedWidget *m_pages;
    AlertEmptyState *m_empty;
    QWidget *m_rows;
    QVBoxLayout *m_rowLayout;
    QStringList m_shown;
};

} // namespace varnello
