#include "ScrollingSheet.h"

#include "AlertPanelStyle.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace varnello {

void wrapInScrollingSheet(QDialog *dialog, QWidget *content)
{
    auto *scroll = new QScrollArea(dialog);
    scroll->setObjectName(QStringLiteral("sheetScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    QSize size = content->minimumSize().expandedTo(content->sizeHint());
    const QWidget *parent = dialog->parentWidget();
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    // Room for the window frame.
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
    dialog->resize(size);
}

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
