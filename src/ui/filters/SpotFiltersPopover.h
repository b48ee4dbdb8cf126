#pragma once

#include "Popover.h"

#include <QCheckBox>
#include <QList>
#include <QPushButton>

namespace varnello {

class ContentView;

// The "Spot Filters" popover of the Filters button: mode classes and QRP, the two continent
// checklists, same entity, and the two custom filters with the buttons that open their sheets.
// Every control writes its switch or set at once; the popover only renders ContentView's state.
// The window shows it with showBelow() while ContentView::isFiltersPopoverPresented() holds.
class SpotFiltersPopover final : public Popover {
    Q_OBJECT

public:
    SpotFiltersPopover(ContentView &view, QWidget *parent = nullptr);

    void showBelow(QWidget *anchor);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildModeColumn();
    QWidget *buildContinentColumn(bool dxColumn);
    void refresh();

    ContentView &m_view;
    QList<QCheckBox *> m_modeBoxes; // CW, SSB, FTx, other digital, beacon, QRP
    QList<QCheckBox *> m_dxFromBoxes;
    QList<QCheckBox *> m_dxByBoxes;
    QPushButton *m_dxByTitle = nullptr;
    QCheckBox *m_sameEntity = nullptr;
    QCheckBox *m_customInfo = nullptr;
    QPushButton *m_customInfoButton = nullptr;
    QCheckBox *m_allowList = nullptr;
    QPushButton *m_allowListButton = nullptr;
    QPushButton *m_clearFilters = nullptr;
};

} // namespace varnello
