#include "BlockedWindowKeys.h"

#include "XEvents.h"

#include <QCoreApplication>
#include <QGuiApplication> // Qt's own build settings

#if defined(VARNELLO_HAVE_XCB) && QT_CONFIG(xcb)
#define VARNELLO_X11 1
#include <xcb/xcb.h>
#endif

#include <cstdlib>

namespace varnello {

namespace {

std::optional<BlockedWindowKeys::KeyboardMap> x11KeyboardMap()
{
#ifdef VARNELLO_X11
    xcb_connection_t *connection = xevents::connection();
    if (!connection)
        return std::nullopt;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    if (!setup || setup->max_keycode < setup->min_keycode)
        return std::nullopt;
    xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode,
                                 quint8(setup->max_keycode - setup->min_keycode + 1)),
        nullptr);
    if (!reply)
        return std::nullopt;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(reply);
    BlockedWindowKeys::KeyboardMap map{
        setup->min_keycode,
        reply->keysyms_per_keycode,
        {keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(reply)}};
    std::free(reply);
    return map;
#else
    return std::nullopt;
#endif
}

Qt::KeyboardModifiers modifiers(quint16 state)
{
    // The core protocol's modifier bits; Lock, Num Lock (Mod2) and the rest change no command.
    Qt::KeyboardModifiers held;
    for (const auto &[mask, modifier] :
         {std::pair{0x1, Qt::ShiftModifier}, std::pair{0x4, Qt::ControlModifier},
          std::pair{0x8, Qt::AltModifier}, std::pair{0x40, Qt::MetaModifier}}) {
        if (state & mask)
            held |= modifier;
    }
    return held;
}

} // namespace

BlockedWindowKeys::BlockedWindowKeys(std::function<bool(quintptr)> isBlocked,
                                     std::optional<KeyboardMap> keyboard, QObject *parent)
    : QObject(parent), m_isBlocked(std::move(isBlocked)), m_keyboard(std::move(keyboard))
{
    if (!m_keyboard) {
        m_keyboard = x11KeyboardMap();
        m_readsX = m_keyboard.has_value();
    }
    if (m_keyboard && QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

BlockedWindowKeys::~BlockedWindowKeys()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<Qt::Key> BlockedWindowKeys::letter(quint8 keycode) const
{
    const qsizetype index =
        (qsizetype(keycode) - m_keyboard->firstKeycode) * m_keyboard->perKeycode;
    if (keycode < m_keyboard->firstKeycode || m_keyboard->perKeycode == 0 ||
        index >= m_keyboard->keysyms.size())
        return std::nullopt;
    // Latin letters' keysyms are their characters' codes, in either case.
    const quint32 keysym = m_keyboard->keysyms[index] | 0x20;
    if (keysym < 'a' || keysym > 'z')
        return std::nullopt;
    return Qt::Key(Qt::Key_A + int(keysym - 'a'));
}

bool BlockedWindowKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_keyboard)
        return false;
    // A MappingNotify (34): the request it follows (1: the keyboard's), then its keycodes.
    if (const void *mapping = xevents::event(eventType, message, 34)) {
        if (m_readsX && static_cast<const quint8 *>(mapping)[4] == 1) {
            if (std::optional<KeyboardMap> map = x11KeyboardMap())
                m_keyboard = std::move(map);
        }
        return false;
    }
    // A KeyPress (2): its keycode, the sequence number and time, the root, the window it was
    // typed in, the child, the four coordinates, then the modifiers held.
    const void *press = xevents::event(eventType, message, 2);
    if (!press || !m_isBlocked || !m_isBlocked(xevents::word(press, 12)))
        return false;
    if (const std::optional<Qt::Key> key = letter(static_cast<const quint8 *>(press)[1]))
        emit keyPressed(QKeyCombination(modifiers(quint16(xevents::word(press, 28))), *key));
    return false; // Qt drops it as it would
}

} // namespace varnello
