#pragma once

#include <QtGlobal>

#include <cstddef>
#include <optional>

struct xcb_connection_t;

namespace varnello::xevents {

// The program's own X connection: null where Qt has none (another platform, or a Qt built
// without X).
xcb_connection_t *connection();

// The atom of `name` on the program's X connection, if it has one.
std::optional<quint32> atom(const char *name);

// An X event as Qt hands it to a native event filter, null for any other kind of message.
// `code`: the event's code without the bit that marks an event sent by another client.
const void *event(const QByteArray &eventType, const void *message, quint8 code);

// The 32-bit word at `offset` bytes into an X event, as the protocol lays it out.
quint32 word(const void *event, std::size_t offset);

} // namespace varnello::xevents
