#include "ActivationRequestEcho.h"

#include "XEvents.h"

#include <QCoreApplication>

namespace varnello {

ActivationRequestEcho::ActivationRequestEcho(std::optional<quint32> activeWindowAtom,
                                             QObject *parent)
    : QObject(parent),
      m_activeWindow(activeWindowAtom ? activeWindowAtom : xevents::atom("_NET_ACTIVE_WINDOW"))
{
    if (m_activeWindow && QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

ActivationRequestEcho::~ActivationRequestEcho()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool ActivationRequestEcho::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    // A ClientMessage (33): the window it names at 4 bytes, its message type at 8. A window
    // manager never sends this one to a client: it is a request to the window manager.
    const void *event = xevents::event(eventType, message, 33);
    return m_activeWindow && event && xevents::word(event, 8) == *m_activeWindow;
}

} // namespace varnello
