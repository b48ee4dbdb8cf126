#pragma once

#include "Popover.h"

#include <QList>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace varnello {

class ContentView;

// The RBN popover: the node's RBN skimmer feed, edited as a draft in ContentView and sent to the
// node only by Apply. The window opens it below its RBN button (whose title and enabled state
// are ContentView::rbnButtonTitle() and isRBNButtonEnabled()) while isRBNPopoverPresented().
class RBNPopover final : public Popover {
    Q_OBJECT

public:
    RBNPopover(ContentView &view, QWidget *parent = nullptr);

    void showBelow(QWidget *anchor);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();

    ContentView &m_view;
    QWidget *m_loadingRow = nullptr;
    QLabel *m_unavailable = nullptr;
    QCheckBox *m_enabled = nullptr;
    QPushButton *m_spotTypes = nullptr;
    QList<QCheckBox *> m_modes;
    QPushButton *m_refresh = nullptr;
    QPushButton *m_apply = nullptr;
};

} // namespace varnello
