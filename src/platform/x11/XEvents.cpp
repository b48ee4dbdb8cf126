#include "XEvents.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>

// Qt's own setting decides, not only whether libxcb is installed: a Qt built for Wayland alone has
// no X connection to hand out.
#if defined(VARNELLO_HAVE_XCB) && QT_CONFIG(xcb)
#define VARNELLO_X11 1
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <cstdlib>
#include <cstring>

namespace varnello::xevents {

xcb_connection_t *connection()
{
#ifdef VARNELLO_X11
    const auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    const auto *x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
#else
    return nullptr;
#endif
}

std::optional<quint32> atom(const char *name)
{
#ifdef VARNELLO_X11
    if (xcb_connection_t *x = connection()) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            x, xcb_intern_atom(x, 0, quint16(std::strlen(name)), name), nullptr);
        const quint32 atom = reply ? reply->atom : 0;
        std::free(reply);
        if (atom != 0)
            return atom;
    }
#else
    Q_UNUSED(name)
#endif
    return std::nullopt;
}

const void *event(const QByteArray &eventType, const void *message, quint8 code)
{
    // The top bit of an event's code marks one that another client sent.
    if (eventType != "xcb_generic_event_t" || !message ||
        (*static_cast<const quint8 *>(message) & 0x7f) != code)
        return nullptr;
    return message;
}

quint32 word(const void *event, std::size_t offset)
{
    quint32 value = 0;
    std::memcpy(&value, static_cast<const char *>(event) + offset, sizeof value);
    return value;
}

} // namespace varnello::xevents
