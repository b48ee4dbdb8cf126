#include "FiltersButton.h"

#include "ContentView.h"
#include "FilterPanelParts.h"
#include "SpotFiltersPopover.h"

#include <QStyle>

namespace varnello {

FiltersButton::FiltersButton(ContentView &view, QWidget *parent)
    : QPushButton(QStringLiteral("Filters"), parent), m_view(view),
      m_popover(new SpotFiltersPopover(view, this))
{
    setObjectName(QStringLiteral("filtersButton"));
    setIcon(filterparts::icon(u"line.3.horizontal.decrease.circle", u"view-filter",
                              QStyle::SP_FileDialogListView));
    setToolTip(QStringLiteral("Configure local spot filters"));
    setAutoDefault(false);
    // The click that closes the open popover must not open it again.
    m_popover->setAttribute(Qt::WA_NoMouseReplay);
    connect(this, &QPushButton::clicked, this, [this] {
        m_view.toggleFiltersPopover();
        if (m_view.isFiltersPopoverPresented())
            m_popover->showBelow(this);
    });
}

} // namespace varnello
