#pragma once

#include "SendSpotBar.h"

namespace varnello {

class ContentView;
class MainWindow;

// Puts the filter panels into the main window: the Band Filters sidebar into the left panel, the
// Filters and RBN buttons into the status row, the send-spot bar under the command field (when
// the view has a connection), and the blocked words and Allowed Spotter Entities sheets into the
// window's presenter. Links open through the shared UrlOpener; without a builder of its own the
// send-spot bar asks for the program's registration request link.
void installFilterPanels(MainWindow &window, ContentView &view,
                         SendSpotBar::RegistrationMailBuilder registrationMail);

} // namespace varnello
