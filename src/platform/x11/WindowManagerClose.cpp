#include "WindowManagerClose.h"

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

namespace varnello {

namespace {

#ifdef VARNELLO_X11
quint32 internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(std::strlen(name)), name), nullptr);
    const quint32 atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}
#endif

std::optional<WindowManagerClose::Atoms> x11Atoms()
{
#ifdef VARNELLO_X11
    const auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    const auto *x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t *connection = x11 ? x11->connection() : nullptr) {
        const WindowManagerClose::Atoms atoms{internAtom(connection, "WM_PROTOCOLS"),
                                              internAtom(connection, "WM_DELETE_WINDOW")};
        if (atoms.protocols != 0 && atoms.deleteWindow != 0)
            return atoms;
    }
#endif
    return std::nullopt;
}

quint32 word(const void *message, size_t offset)
{
    quint32 value = 0;
    std::memcpy(&value, static_cast<const char *>(message) + offset, sizeof value);
    return value;
}

} // namespace

WindowManagerClose::WindowManagerClose(std::function<quintptr()> windowId,
                                       std::optional<Atoms> atoms, QObject *parent)
    : QObject(parent), m_windowId(std::move(windowId)), m_atoms(atoms ? atoms : x11Atoms())
{
    if (m_atoms && QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowManagerClose::~WindowManagerClose()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowManagerClose::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    // An X ClientMessage event as the protocol lays it out: its code (33, the top bit marks a
    // sent event), the format, the sequence number, then the window, the message type and the
    // data, whose first word names the protocol.
    constexpr quint8 clientMessage = 33;
    if (!m_atoms || eventType != "xcb_generic_event_t" || !message ||
        (*static_cast<const quint8 *>(message) & 0x7f) != clientMessage)
        return false;
    const quintptr window = m_windowId ? m_windowId() : 0;
    if (window != 0 && word(message, 4) == window && word(message, 8) == m_atoms->protocols &&
        word(message, 12) == m_atoms->deleteWindow)
        emit closeRequested();
    return false; // Qt goes on with it as it would
}

} // namespace varnello
