#include "SettingsWindowController.h"

#include "AppSettingsStore.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace varnello {

SettingsWindowController::SettingsWindowController(QWidget *window, AppSettingsStore &settings,
                                                   WindowFrame::Screens screens, QObject *parent)
    : QObject(parent), m_window(window), m_settings(settings), m_screens(std::move(screens))
{
    if (!m_window)
        return;
    m_window->setWindowTitle(QStringLiteral("Settings"));
    m_hasPositionedWindow = restoreSavedFrame();
    m_window->installEventFilter(this);
}

bool SettingsWindowController::restoreSavedFrame()
{
    const QRect saved =
        WindowFrame::fromText(m_settings.string(SettingsKeys::VarnelloSettingsWindowFrame));
    if (saved.width() <= 0 || saved.height() <= 0)
        return false;
    // At least the designed size, unless the screen is smaller; and a frame left on a monitor
    // that is gone would open the window out of reach.
    const std::optional<QRect> frame =
        WindowFrame::placed(QRect(saved.topLeft(), saved.size().expandedTo(minimumSize)),
                            m_screens(), m_window->minimumSize());
    if (!frame)
        return false;
    m_window->setGeometry(*frame);
    return true;
}

void SettingsWindowController::showSettingsWindow()
{
    if (!m_window)
        return;
    if (!m_hasPositionedWindow) {
        QWidget *over = nullptr;
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if (candidate != m_window && candidate->isVisible() &&
                candidate->windowType() == Qt::Window) {
                over = candidate;
                break;
            }
        }
        if (over) {
            QRect frame = m_window->geometry();
            frame.moveCenter(over->geometry().center());
            m_window->setGeometry(frame);
            m_hasPositionedWindow = true;
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool SettingsWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && m_window->isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        saveWindowFrame();
    return QObject::eventFilter(watched, event);
}

void SettingsWindowController::saveWindowFrame()
{
    if (!WindowFrame::isNormalFrame(m_window->windowState()))
        return;
    m_settings.setString(SettingsKeys::VarnelloSettingsWindowFrame,
                         WindowFrame::toText(m_window->geometry()),
                         AppSettingsStore::SaveTiming::coalesced);
}

} // namespace varnello
