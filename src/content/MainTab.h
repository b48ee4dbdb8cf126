#pragma once

namespace varnello {

// The main window's tabs, in display order.
enum class MainTab { spots, alertsOnly, console };

} // namespace varnello
