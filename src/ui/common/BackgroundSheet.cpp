#include "BackgroundSheet.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWindow>

#include <optional>

namespace varnello::backgroundsheet {

namespace {

// Hands a dialog shown without the keyboard its normal ways back once it is on the screen.
class FirstExposure final : public QObject {
public:
    // `inFront`: the program's own window that keeps the keyboard, put back in front.
    FirstExposure(QDialog *dialog, QWidget *inFront)
        : QObject(dialog), m_dialog(dialog), m_inFront(inFront)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && m_dialog->windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            // Once Qt is done with the mapping: its request for the keyboard was made then.
            QTimer::singleShot(0, m_dialog, [dialog = m_dialog, inFront = m_inFront] {
                dialog->windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, false);
                dialog->overrideWindowFlags(dialog->windowHandle()->flags());
                // A window manager that lets a program raise its own windows (openbox) lifts
                // the sheet and the window under it over the one the operator types in.
                if (inFront)
                    inFront->raise();
                QApplication::alert(dialog);
            });
            deleteLater();
        }
        return false;
    }

private:
    QDialog *m_dialog;
    QPointer<QWidget> m_inFront;
};

// Keeps from a sheet the keys typed for the window under it as it came. Set on the sheet's
// window, which every key from the platform reaches before the sheet's controls, and after the
// program's own filters (Ctrl+Q still ends it).
class KeyGrace final : public QObject {
public:
    KeyGrace(QDialog *dialog, std::chrono::milliseconds grace) : QObject(dialog), m_grace(grace) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Expose:
            if (!m_until && static_cast<QWindow *>(watched)->isExposed())
                m_until = QDeadlineTimer(m_grace);
            return false;
        case QEvent::MouseButtonPress:
            if (m_until) // the operator has seen it
                m_until = QDeadlineTimer(0);
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return drops(*static_cast<QKeyEvent *>(event));
        default:
            return false;
        }
    }

private:
    bool drops(const QKeyEvent &key)
    {
        if (!m_until || !m_until->hasExpired())
            return true;
        // A key held down since then repeats into the sheet: only a key pressed afresh counts.
        const bool pressedHere = m_pressed.contains(key.key());
        if (!key.isAutoRepeat()) {
            if (key.type() == QEvent::KeyPress) {
                m_pressed.insert(key.key());
                return false;
            }
            m_pressed.remove(key.key());
        }
        return !pressedHere;
    }

    std::chrono::milliseconds m_grace;
    std::optional<QDeadlineTimer> m_until; // from when it is on the screen
    QSet<int> m_pressed;
};

void declineKeyboardUntilShown(QDialog *dialog, QWidget *inFront = nullptr)
{
    // Qt 6.4 asks the window manager to activate a modal window once it is mapped, and openbox
    // grants every such request. While the window declines the keyboard the request moves none;
    // Qt::WA_ShowWithoutActivating alone does not stop it.
    dialog->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    dialog->winId();
    dialog->windowHandle()->installEventFilter(new FirstExposure(dialog, inFront));
}

// Whether the active window is `window` or one of the windows it holds.
bool isActiveWithin(const QWidget *window)
{
    for (const QWidget *w = QApplication::activeWindow(); w;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
        if (w == window)
            return true;
    }
    return false;
}

} // namespace

void leaveKeyboardAlone(QDialog *dialog)
{
    if (QGuiApplication::applicationState() != Qt::ApplicationActive)
        declineKeyboardUntilShown(dialog);
}

void leaveKeyboardAloneForNode(QDialog *dialog, std::chrono::milliseconds grace)
{
    const QWidget *over = dialog->parentWidget();
    if (over ? !isActiveWithin(over->window())
             : QGuiApplication::applicationState() != Qt::ApplicationActive)
        declineKeyboardUntilShown(dialog, QApplication::activeWindow());
    dialog->winId();
    dialog->windowHandle()->installEventFilter(new KeyGrace(dialog, grace));
}

} // namespace varnello::backgroundsheet
