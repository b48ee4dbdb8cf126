#pragma once

#include <QPushButton>

namespace varnello {

class ContentView;
class SpotFiltersPopover;

// The status row's "Filters" button: opens and closes the Spot Filters popover below itself.
class FiltersButton final : public QPushButton {
    Q_OBJECT

public:
    explicit FiltersButton(ContentView &view, QWidget *parent = nullptr);

    SpotFiltersPopover *popover() const { return m_popover; }

private:
    ContentView &m_view;
    SpotFiltersPopover *m_popover;
};

} // namespace varnello
