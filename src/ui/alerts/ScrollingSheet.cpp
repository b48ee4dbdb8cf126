#include "ScrollingSheet.h"

#include "AlertPanelStyle.h"

#include <QFrame>

namespace varnello {

QFrame *verticalDivider(QWidget *parent)
{
    QFrame *line = alertstyle::divider(parent);
    line->setFrameShape(QFrame::VLine);
    line->setMinimumHeight(0);
    line->setMaximumHeight(QWIDGETSIZE_MAX);
    line->setFixedWidth(1);
    return line;
}

} // namespace varnello
