#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>

namespace varnello {

// Letter keys pressed in a window that a modal window blocks, read off X before Qt drops them:
// Qt 6.4 drops every key for such a window, shortcuts included, and X keeps sending the keys
// there for as long as the window manager leaves it the keyboard (after a click on it, or
// Alt+Tab). Qt still drops them all; the owner decides which one, if any, is a command (Ctrl+Q).
// Elsewhere than on X nothing is reported.
class BlockedWindowKeys final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BlockedWindowKeys)

public:
    // The keyboard's keysyms as the core protocol gives them: `perKeycode` of them for each
    // keycode from `firstKeycode` on, the unshifted one first.
    struct KeyboardMap {
        quint8 firstKeycode = 0;
        quint8 perKeycode = 0;
        QList<quint32> keysyms;
    };

    // `isBlocked`: whether a modal window holds back the input of the window with this native id.
    // `keyboard`: read off the program's X connection, and again whenever X reports a new
    // mapping, unless given; without either nothing is reported.
    explicit BlockedWindowKeys(std::function<bool(quintptr window)> isBlocked,
                               std::optional<KeyboardMap> keyboard = std::nullopt,
                               QObject *parent = nullptr);
    ~BlockedWindowKeys() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void keyPressed(QKeyCombination key);

private:
    std::optional<Qt::Key> letter(quint8 keycode) const;

    std::function<bool(quintptr)> m_isBlocked;
    std::optional<KeyboardMap> m_keyboard;
    bool m_readsX = false;
};

} // namespace varnello
