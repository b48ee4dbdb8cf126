#pragma once

#include "SettingsView.h"

#include <QDialog>
#include <QRect>
#include <QSize>

namespace varnello {

// The top-level window titled "Settings" around the one SettingsView. "OK", Return, Escape and
// the close button hide it; it is never deleted while the program runs, so it keeps its state
// between showings. Frame keeping and placement belong to the host.
class SettingsWindow final : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize preferredSize{900, 800};

    SettingsWindow(SettingsViewServices services, QWidget *parent = nullptr);
    SettingsWindow(CTYFileManager &ctyFileManager, ClusterConnection &cluster,
                   QWidget *parent = nullptr);

    SettingsView &view() const { return *m_view; }

    // The preferred size, shrunk to fit an available screen area with a window frame; the content
    // then scrolls.
    static QSize clampedSize(QSize wanted, const QRect &available);
    // Applies the clamped size and minimum size for the screen the window is on.
    void fitToScreen();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void install();
    // Shrinks and moves the window, where needed, into the available area of the screen it is
    // placed on; each time it is shown.
    void keepOnScreen();

    SettingsView *m_view;
};

} // namespace varnello
