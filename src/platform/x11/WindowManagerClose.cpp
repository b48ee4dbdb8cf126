#include "WindowManagerClose.h"

#include "XEvents.h"

#include <QCoreApplication>

namespace varnello {

namespace {

std::optional<WindowManagerClose::Atoms> x11Atoms()
{
    const std::optional<quint32> protocols = xevents::atom("WM_PROTOCOLS");
    const std::optional<quint32> deleteWindow = xevents::atom("WM_DELETE_WINDOW");
    if (protocols && deleteWindow)
        return WindowManagerClose::Atoms{*protocols, *deleteWindow};
    return std::nullopt;
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
    // An X ClientMessage event (33) as the protocol lays it out: its code, the format, the
    // sequence number, then the window, the message type and the data, whose first word names
    // the protocol.
    const void *event = xevents::event(eventType, message, 33);
    if (!m_atoms || !event)
        return false;
    const quintptr window = m_windowId ? m_windowId() : 0;
    if (window != 0 && xevents::word(event, 4) == window &&
        xevents::word(event, 8) == m_atoms->protocols &&
        xevents::word(event, 12) == m_atoms->deleteWindow)
        emit closeRequested();
    return false; // Qt goes on with it as it would
}

} // namespace varnello
