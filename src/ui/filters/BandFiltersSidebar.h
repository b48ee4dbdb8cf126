#pragma once

#include <QHash>
#include <QLabel>
#include <QWidget>

namespace varnello {

class ContentView;

// The Band Filters panel of the main window's left edge: "All Bands", the three band groups with
// their header rows, "Other", and a footer naming the bands in force. Renders and edits
// ContentView's band selection; the window places it with MainWindow::setLeftPanelWidget.
class BandFiltersSidebar final : public QWidget {
    Q_OBJECT

public:
    explicit BandFiltersSidebar(ContentView &view, QWidget *parent = nullptr);

private:
    QWidget *addRow(QWidget *list, const QString &name, const QString &title,
                    const QString &iconName, const QString &toolTip, int verticalInset);
    void refresh();

    ContentView &m_view;
    // Check mark of each row, by row object name.
    QHash<QString, QLabel *> m_checks;
    QLabel *m_summary = nullptr;
};

} // namespace varnello
