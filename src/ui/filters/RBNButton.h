#pragma once

#include <QPushButton>

namespace varnello {

class ContentView;
class RBNPopover;

// The status row's RBN button: its title tells the node's RBN feed; it opens the RBN popover
// below itself and is enabled only while logged in to a DXSpider node.
class RBNButton final : public QPushButton {
    Q_OBJECT

public:
    explicit RBNButton(ContentView &view, QWidget *parent = nullptr);

    RBNPopover *popover() const { return m_popover; }

private:
    void refresh();

    ContentView &m_view;
    RBNPopover *m_popover;
};

} // namespace varnello
