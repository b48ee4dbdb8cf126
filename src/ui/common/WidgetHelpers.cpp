#include "WidgetHelpers.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace varnello {

namespace {

class ReturnKeyFilter final : public QObject {
public:
    ReturnKeyFilter(QLineEdit *field, std::function<void()> action)
        : QObject(field), m_action(std::move(action))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_action();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void onReturnKey(QLineEdit *field, std::function<void()> action)
{
    field->installEventFilter(new ReturnKeyFilter(field, std::move(action)));
}

} // namespace varnello
