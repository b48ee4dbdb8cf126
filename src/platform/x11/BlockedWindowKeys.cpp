#include "BlockedWindowKeys.h"

#include "XEvents.h"

#include <QCoreApplication>
#include <QGuiApplication> // Qt's own build settings

#if defined(VARNELLO_HAVE_XCB) && QT_CONFIG(xcb)
#define VARNELLO_X11 1
#include <xcb/xcb.h>
#endif

#ifdef VARNELLO_HAVE_XKB
#include <xkbcommon/xkbcommon.h>
#ifdef VARNELLO_X11
#include <xkbcommon/xkbcommon-x11.h>
#define explicit explicit_ // a field of the header's bears C++'s keyword as its name
#include <xcb/xkb.h>
#undef explicit
#endif
#endif

#include <optional>

namespace varnello {

namespace {

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

#ifdef VARNELLO_HAVE_XKB
// The keyboard as XKB describes it, every layout (group) of it: a desktop's layout switch changes
// only the group that X sends with each key, and a new layout comes as XKB's events alone.
struct BlockedWindowKeys::Keyboard {
    Q_DISABLE_COPY_MOVE(Keyboard)
    Keyboard() = default;
    ~Keyboard()
    {
        take(nullptr);
        xkb_context_unref(context);
    }

    void take(xkb_keymap *map)
    {
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
        keymap = map;
        state = map ? xkb_state_new(map) : nullptr;
    }

    // A keyboard that cannot be read reports no key: none is better than one of an old layout.
    void readX()
    {
#ifdef VARNELLO_X11
        xcb_connection_t *connection = xevents::connection();
        const int32_t device = connection ? xkb_x11_get_core_keyboard_device_id(connection) : -1;
        take(device < 0 ? nullptr
                        : xkb_x11_keymap_new_from_device(context, connection, device,
                                                         XKB_KEYMAP_COMPILE_NO_FLAGS));
#endif
    }

    std::optional<Qt::Key> letter(xkb_keycode_t keycode, xkb_layout_index_t group)
    {
        if (!state)
            return std::nullopt;
        // A key with fewer layouts than the keyboard takes one of its own by the key's rule,
        // which the state applies.
        xkb_state_update_mask(state, 0, 0, 0, 0, 0, group);
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state, keycode);
        const xkb_keysym_t *keysyms = nullptr;
        if (layout == XKB_LAYOUT_INVALID ||
            xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, 0, &keysyms) < 1)
            return std::nullopt;
        // Latin letters' keysyms are their characters' codes, in either case.
        const quint32 keysym = keysyms[0] | 0x20;
        if (keysym < 'a' || keysym > 'z')
            return std::nullopt;
        return Qt::Key(Qt::Key_A + int(keysym - 'a'));
    }

    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap *keymap = nullptr;
    xkb_state *state = nullptr; // only to find the layout that each key takes in a group
    quint8 xkbEvent = 0;        // XKB's event code on the program's X connection, if read off it
    bool stale = false;         // X changed the keyboard since it was read
};
#else
struct BlockedWindowKeys::Keyboard {};
#endif

BlockedWindowKeys::BlockedWindowKeys(std::function<bool(quintptr)> isBlocked,
                                     const QByteArray &layouts, QObject *parent)
    : QObject(parent), m_isBlocked(std::move(isBlocked))
{
#ifdef VARNELLO_HAVE_XKB
    auto keyboard = std::make_unique<Keyboard>();
    if (!keyboard->context)
        return;
    if (!layouts.isEmpty()) {
        const xkb_rule_names names{nullptr, nullptr, layouts.constData(), nullptr, nullptr};
        keyboard->take(
            xkb_keymap_new_from_names(keyboard->context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
#ifdef VARNELLO_X11
    else if (xcb_connection_t *connection = xevents::connection();
             connection && xkb_x11_setup_xkb_extension(
                               connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                               XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                               nullptr, nullptr, &keyboard->xkbEvent, nullptr)) {
        // Qt asks for them as well; asked here so that they come whatever Qt does. Only these
        // kinds are touched, so Qt's choice of the others stands.
        const quint16 events =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        const quint16 parts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS;
        xcb_xkb_select_events(connection, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, parts, parts,
                              nullptr);
        keyboard->readX();
    }
#endif
    if (!keyboard->state)
        return;
    m_keyboard = std::move(keyboard);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(this);
#else
    Q_UNUSED(layouts)
#endif
}

BlockedWindowKeys::~BlockedWindowKeys()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool BlockedWindowKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#ifdef VARNELLO_HAVE_XKB
    if (!m_keyboard)
        return false;
    Keyboard &keyboard = *m_keyboard;
    // XKB's NewKeyboardNotify (0) and MapNotify (1), its kind the byte after the code, or the core
    // MappingNotify (34): read again when next needed, only the last of a burst.
    if (keyboard.xkbEvent != 0) {
        const auto *xkb =
            static_cast<const quint8 *>(xevents::event(eventType, message, keyboard.xkbEvent));
        if ((xkb && xkb[1] <= 1) || xevents::event(eventType, message, 34)) {
            keyboard.stale = true;
            return false;
        }
    }
    // A KeyPress (2): its keycode, the sequence number and time, the root, the window it was
    // typed in, the child, the four coordinates, then the modifiers held and the group in use.
    const void *press = xevents::event(eventType, message, 2);
    if (!press || !m_isBlocked || !m_isBlocked(xevents::word(press, 12)))
        return false;
    if (keyboard.stale) {
        keyboard.stale = false;
        keyboard.readX();
    }
    const quint16 state = quint16(xevents::word(press, 28));
    if (const std::optional<Qt::Key> key =
            keyboard.letter(static_cast<const quint8 *>(press)[1], (state >> 13) & 0x3))
        emit keyPressed(QKeyCombination(modifiers(state), *key));
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
#endif
    return false; // Qt drops it as it would
}

} // namespace varnello
