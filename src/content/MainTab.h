#pragma once

namespace varnello {

// The main window's tabs, in the order the tab picker shows them. View state only.
enum class MainTab { spots, alertsOnly, console };

} // namespace varnello
