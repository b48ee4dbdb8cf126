#pragma once

#include <chrono>

class QDialog;

namespace varnello::backgroundsheet {

// How long a sheet the node brings takes no key once it is on the screen: a line typed as it
// came, its Return above all, was meant for the window the operator was typing in.
inline constexpr std::chrono::milliseconds keyGrace{1000};

// Call before showing a sheet or alert that comes unasked (a node's question, a reconnect's
// alert, an update's). While another program is the active one, `dialog` leaves the keyboard
// where it is, so that a Return meant for that program never answers it, and asks for attention
// instead; it takes the keys once the operator gives them to it (a click on it, a second start).
void leaveKeyboardAlone(QDialog *dialog);

// As leaveKeyboardAlone(), for a sheet the node brings over the window it is the child of. It
// also leaves the keyboard to any other window of the program (Settings, which it does not
// block), and takes no key before it is on the screen nor for `grace` after, unless clicked,
// nor the repeats of a key held down since then.
void leaveKeyboardAloneForNode(QDialog *dialog, std::chrono::milliseconds grace = keyGrace);

} // namespace varnello::backgroundsheet
