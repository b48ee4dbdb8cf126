#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>
#include <optional>

namespace varnello {

// The window manager's close of one window, reported even while a window-modal sheet blocks that
// window: Qt drops such a request, so without this only the sheet's own buttons could end the
// program. On X11 the request (WM_DELETE_WINDOW) is read off the X connection before Qt drops
// it; elsewhere nothing is reported. A request for a window that nothing blocks is reported too,
// beside Qt's own close event.
class WindowManagerClose final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowManagerClose)

public:
    // The X atoms the request is named with.
    struct Atoms {
        quint32 protocols = 0;
        quint32 deleteWindow = 0;
    };

    // `windowId`: the watched window's native id (0 while it has none). `atoms`: looked up on the
    // program's X connection unless given; without either nothing is watched.
    explicit WindowManagerClose(std::function<quintptr()> windowId,
                                std::optional<Atoms> atoms = std::nullopt,
                                QObject *parent = nullptr);
    ~WindowManagerClose() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void closeRequested();

private:
    std::function<quintptr()> m_windowId;
    std::optional<Atoms> m_atoms;
};

} // namespace varnello
