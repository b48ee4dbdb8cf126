#pragma once

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace varnello {

// Asks a public echo service for this machine's public IPv4 address. Used only to tell the
// operator where a duplicate login came from relative to this machine, so every failure simply
// gives no address.
class PublicAddressSource {
public:
    using Completion = std::function<void(std::optional<QString> address)>;

    virtual ~PublicAddressSource() = default;

    // Runs done exactly once on the main thread, unless context is destroyed first.
    virtual void fetchPublicIPv4Address(QObject *context, Completion done) = 0;

    // Four dot-separated decimal numbers from 0 to 255, each made of ASCII digits only.
    static bool isIPv4Address(const QString &text);
};

} // namespace varnello
