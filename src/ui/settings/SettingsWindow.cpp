#include "SettingsWindow.h"

#include <QScreen>
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
    if (available.isEmpty())
        return wanted;
    return wanted.boundedTo(available.size());
}

void SettingsWindow::fitToScreen()
{
    const QScreen *screen = this->screen();
    QRect available = screen ? screen->availableGeometry() : QRect();
    // The window manager's title bar and borders come out of the same area.
    if (!available.isEmpty())
        available.adjust(0, 0, 0, -40);
    const QSize size = clampedSize(preferredSize, available);
    setMinimumSize(size);
    resize(size);
}

} // namespace varnello
