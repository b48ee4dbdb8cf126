#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>
#include <memory>

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
    // `isBlocked`: whether a modal window holds back the input of the window with this native id.
    // `layouts`: the keyboard's layouts by their XKB names ("us,fr"), as a test gives them;
    // without them the keyboard is read off the program's X connection, and again whenever X
    // reports that it changed. Without either nothing is reported.
    explicit BlockedWindowKeys(std::function<bool(quintptr window)> isBlocked,
                               const QByteArray &layouts = {}, QObject *parent = nullptr);
    ~BlockedWindowKeys() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void keyPressed(QKeyCombination key);

private:
    struct Keyboard;

    std::function<bool(quintptr)> m_isBlocked;
    std::unique_ptr<Keyboard> m_keyboard;
};

} // namespace varnello
