#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <optional>

namespace varnello {

// Keeps the program from taking a request to activate one of its windows for the activation
// itself. Qt asks the window manager with a _NET_ACTIVE_WINDOW message to the root window, which
// X hands back to Qt too, and Qt 6.4 then believes that window has the keyboard, even while the
// window manager leaves it with another program: the program would then take the keyboard for
// its next sheet. Such messages are dropped on their way to Qt, which learns of the focus from
// X's focus events alone. Elsewhere than on X nothing is dropped.
class ActivationRequestEcho final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivationRequestEcho)

public:
    // `activeWindowAtom`: the atom _NET_ACTIVE_WINDOW, looked up on the program's X connection
    // unless given.
    explicit ActivationRequestEcho(std::optional<quint32> activeWindowAtom = std::nullopt,
                                   QObject *parent = nullptr);
    ~ActivationRequestEcho() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    std::optional<quint32> m_activeWindow;
};

} // namespace varnello
