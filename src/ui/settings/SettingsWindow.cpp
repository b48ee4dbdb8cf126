#include "SettingsWindow.h"

#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace varnello {

SettingsWindow::SettingsWindow(SettingsViewServices services, QWidget *parent)
    : QDialog(parent), m_view(new SettingsView(std::move(services), this))
{
    install();
}

SettingsWindow::SettingsWindow(CTYFileManager &ctyFileManager, ClusterConnection &cluster,
                               QWidget *parent)
    : QDialog(parent), m_view(new SettingsView(ctyFileManager, cluster, this))
{
    install();
}

void SettingsWindow::install()
{
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setSizeGripEnabled(true);
    setModal(false);
    // Closing the main window quits the program even while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // Hiding is all that OK and Escape do: the window lives as long as the program.
    connect(m_view, &SettingsView::dismissRequested, this, &QDialog::accept);
    fitToScreen();
}

QSize SettingsWindow::clampedSize(QSize wanted, const QRect &available)
{
    return screenfit::clampedSize(wanted, available);
}

void SettingsWindow::fitToScreen()
{
    const QScreen *screen = this->screen();
    const QSize size = clampedSize(preferredSize, screen ? screen->availableGeometry() : QRect());
    setMinimumSize(size);
    resize(size);
}

void SettingsWindow::keepOnScreen()
{
    // The screen the window is about to open on: where it has been placed, else its own.
    const QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = this->screen();
    if (!screen)
        return;
    const QRect room = screenfit::clientArea(screen->availableGeometry());
    setMinimumSize(minimumSize().boundedTo(room.size()));
    const QRect frame = screenfit::placedInside(geometry(), room, minimumSize());
    if (frame != geometry())
        setGeometry(frame);
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    // A frame stored on a larger screen, or a window centred over a main window near the edge of
    // the screen, would otherwise open partly out of reach.
    if (!event->spontaneous())
        keepOnScreen();
    QDialog::showEvent(event);
}

} // namespace varnello
