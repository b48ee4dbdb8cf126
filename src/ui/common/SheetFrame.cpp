#include "SheetFrame.h"

#include "WidgetHelpers.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QKeyEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace varnello::sheetframe {

namespace {

int preferredHeight(const QWidget *widget, int width)
{
    if (!widget)
        return 0;
    if (widget->hasHeightForWidth())
        return widget->heightForWidth(width);
    return widget->sizeHint().height();
}

class ColumnScrollArea final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        QSize hint = QScrollArea::sizeHint();
        if (const QWidget *column = widget())
            hint.setHeight(preferredHeight(column, width() - 2 * frameWidth()) + 2 * frameWidth());
        return hint;
    }
};

} // namespace

QScrollArea *scrollingColumn(QWidget *column, int width, QWidget *parent)
{
    auto *scroll = new ColumnScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFixedWidth(width);
    scroll->setWidget(column);
    return scroll;
}

QScrollArea *pinFooter(QDialog *dialog, QWidget *content, QWidget *footer)
{
    auto *scroll = new QScrollArea(dialog);
    scroll->setObjectName(QStringLiteral("sheetScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scroll, 1);
    if (footer)
        layout->addWidget(footer);
    return scroll;
}

int naturalHeight(const QWidget *content, const QWidget *footer, int width)
{
    return preferredHeight(content, width) + preferredHeight(footer, width);
}

void onSpaceKey(QAbstractItemView *view, std::function<void(const QModelIndex &)> toggle)
{
    onKeyPress(view, view, [view, toggle = std::move(toggle)](const QKeyEvent &key) {
        if (key.key() != Qt::Key_Space || key.modifiers() != Qt::NoModifier)
            return false;
        if (const QModelIndex current = view->currentIndex(); current.isValid())
            toggle(current);
        return true;
    });
}

} // namespace varnello::sheetframe
