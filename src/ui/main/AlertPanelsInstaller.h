#pragma once

namespace varnello {

class ContentView;
class MainWindow;

// Puts the alert panels into the main window: the Spot Alerts sidebar into the right panel and the
// alert editor into the window's presenter, shown while the view has an alert editor session.
void installAlertPanels(MainWindow &window, ContentView &view);

} // namespace varnello
