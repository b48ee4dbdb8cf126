#pragma once

class QDialog;

namespace varnello::backgroundsheet {

// Call before showing a sheet or alert that comes unasked (a node's question, a reconnect's
// alert, an update's). While another program is the active one, `dialog` leaves the keyboard
// where it is, so that a Return meant for that program never answers it, and asks for attention
// instead; it takes the keys once the operator gives them to it (a click on it, a second start).
void leaveKeyboardAlone(QDialog *dialog);

} // namespace varnello::backgroundsheet
