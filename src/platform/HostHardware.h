#pragma once

#include <QString>

namespace varnello {

// The two hardware facts of the usage ping: the processor family and the machine's model name.
// Only the model's marketing name is read, never a serial number or a machine id.
namespace HostHardware {

// "arm64" for an aarch64 or arm64 machine (uname's machine field), else "x86_64".
QString architecture(const QString &machine);
// uname's machine field of this computer, or empty.
QString currentMachine();

// The DMI product name, else the device-tree model, below `sysfsRoot` ("/sys" on a live system);
// "unknown" when neither can be read or holds nothing printable.
QString model(const QString &sysfsRoot = QStringLiteral("/sys"));

// Model names longer than this are cut.
inline constexpr qsizetype maximumModelLength = 64;

} // namespace HostHardware

} // namespace varnello
