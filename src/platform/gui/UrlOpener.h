#pragma once

#include <QUrl>

namespace varnello {

// Opens web pages and mailto: links in the desktop's own programs. Tests install a fake through
// setShared() so that nothing leaves the machine.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // False when the desktop could not open the address.
    virtual bool open(const QUrl &url) = 0;

    // The desktop opener unless a replacement was installed; setShared(nullptr) restores it.
    static UrlOpener &shared();
    static void setShared(UrlOpener *opener);
};

} // namespace varnello
