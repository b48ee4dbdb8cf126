#include "BackgroundSheet.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <QWindow>

namespace varnello::backgroundsheet {

namespace {

// Hands a dialog shown without the keyboard its normal ways back once it is on the screen.
class FirstExposure final : public QObject {
public:
    explicit FirstExposure(QDialog *dialog) : QObject(dialog), m_dialog(dialog) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && m_dialog->windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            // Once Qt is done with the mapping: its request for the keyboard was made then.
            QTimer::singleShot(0, m_dialog, [dialog = m_dialog] {
                dialog->windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, false);
                dialog->overrideWindowFlags(dialog->windowHandle()->flags());
                QApplication::alert(dialog);
            });
            deleteLater();
        }
        return false;
    }

private:
    QDialog *m_dialog;
};

} // namespace

void leaveKeyboardAlone(QDialog *dialog)
{
    if (QGuiApplication::applicationState() == Qt::ApplicationActive)
        return;
    // Qt 6.4 asks the window manager to activate a modal window once it is mapped, and openbox
    // grants every such request. While the window declines the keyboard the request moves none;
    // Qt::WA_ShowWithoutActivating alone does not stop it.
    dialog->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    dialog->winId();
    dialog->windowHandle()->installEventFilter(new FirstExposure(dialog));
}

} // namespace varnello::backgroundsheet
