#include "UrlOpener.h"

#include <QDesktopServices>

namespace varnello {

namespace {

class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};

UrlOpener *g_replacement = nullptr;

} // namespace

UrlOpener &UrlOpener::shared()
{
    static DesktopUrlOpener desktop;
    return g_replacement ? *g_replacement : desktop;
}

void UrlOpener::setShared(UrlOpener *opener)
{
    g_replacement = opener;
}

} // namespace varnello
