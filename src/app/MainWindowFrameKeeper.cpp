#include "MainWindowFrameKeeper.h"

#include "AppSettingsStore.h"
#include "LaunchDiag.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

namespace varnello {

namespace {

// A window-modal dialog shown over the window: the window is busy with a sheet.
bool showsSheet(const QWidget *window)
{
    const auto dialogs = window->findChildren<QDialog *>();
    return std::any_of(dialogs.begin(), dialogs.end(), [](const QDialog *dialog) {
        return dialog->isVisible() && dialog->windowModality() == Qt::WindowModal;
    });
}

bool isOrdinaryWindow(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return (type == Qt::Window || type == Qt::Dialog) &&
           !window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
           !window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus);
}

} // namespace

MainWindowFrameKeeper::MainWindowFrameKeeper(AppSettingsStore &settings,
                                             WindowFrame::Screens screens, QObject *parent)
    : QObject(parent), m_settings(settings), m_screens(std::move(screens))
{
}

void MainWindowFrameKeeper::watch(QWidget *window)
{
    if (window)
        window->installEventFilter(this);
}

bool MainWindowFrameKeeper::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Close ||
        type == QEvent::WindowStateChange) {
        auto *window = qobject_cast<QWidget *>(watched);
        // Before the first showing the window manager is still placing the window: its frame is
        // not the operator's.
        if (!window || !window->isVisible())
            return QObject::eventFilter(watched, event);
        // Taken at once (a quit may follow before another turn of the loop); the store writes
        // the file once the moving stops, and at quit.
        saveMainWindowFrame(window);
    }
    return QObject::eventFilter(watched, event);
}

void MainWindowFrameKeeper::saveMainWindowFrame(QWidget *window)
{
    if (!window || !window->isWindow() || !isOrdinaryWindow(window))
        return;
    if (window->windowTitle() == QLatin1String("Settings") || showsSheet(window))
        return;
    if (QApplication::activeWindow() != window &&
        window->windowTitle() != QLatin1String("Varnello"))
        return;
    const bool maximized = window->isMaximized();
    if (m_settings.boolValue(SettingsKeys::VarnelloMainWindowMaximized) != maximized)
        m_settings.setBool(SettingsKeys::VarnelloMainWindowMaximized, maximized);
    // The frame kept is the normal one, which un-maximising returns to.
    if (!WindowFrame::isNormalFrame(window->windowState()))
        return;
    m_settings.setString(SettingsKeys::VarnelloMainWindowFrame,
                         WindowFrame::toText(window->geometry()),
                         AppSettingsStore::SaveTiming::coalesced);
}

bool MainWindowFrameKeeper::restoreMainWindowFrame(QWidget *window, bool includeSize)
{
    const bool applied = restoreNormalFrame(window, includeSize);
    // After the frame, which the window manager then keeps as the one un-maximising returns to.
    if (m_settings.boolValue(SettingsKeys::VarnelloMainWindowMaximized)) {
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
        qCInfo(launchDiag, "main window restored maximised");
    }
    return applied;
}

bool MainWindowFrameKeeper::restoreNormalFrame(QWidget *window, bool includeSize)
{
    const QString text = m_settings.string(SettingsKeys::VarnelloMainWindowFrame);
    if (text.isEmpty()) {
        qCInfo(launchDiag, "main frame restore: no saved frame");
        return false;
    }
    const QRect saved = WindowFrame::fromText(text);
    const QRect frame = includeSize ? saved : QRect(saved.topLeft(), window->size());
    // Before the first showing only the layout knows how small the window may be.
    const QSize minimum = window->minimumSize().expandedTo(window->minimumSizeHint());
    const std::optional<QRect> placed = saved.width() > 0 && saved.height() > 0
                                            ? WindowFrame::placed(frame, m_screens(), minimum)
                                            : std::nullopt;
    if (!placed) {
        qCInfo(launchDiag, "main frame restore: saved frame invalid/offscreen");
        return false;
    }
    window->setGeometry(*placed);
    qCInfo(launchDiag, "main frame restored=%s", qUtf8Printable(WindowFrame::toText(*placed)));
    return true;
}

} // namespace varnello
