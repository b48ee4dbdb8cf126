#pragma once

#include <QFrame>
#include <QPointer>

class QPropertyAnimation;
class QVBoxLayout;

namespace varnello {

// A panel that floats over the main column at one edge of the window, with a soft shadow, and
// slides in and out. The owner places it (place()) whenever the window changes size.
class SidePanel final : public QFrame {
    Q_OBJECT

public:
    enum class Edge { leading, trailing };
    static constexpr int slideMilliseconds = 200;

    SidePanel(Edge edge, int width, QWidget *parent);

    // Replaces the content; the panel takes ownership.
    void setContentWidget(QWidget *content);

    // Shows or hides the panel, sliding when animate is true. Asking for the state the panel
    // has or is sliding to changes nothing; a closed panel ends hidden.
    void setShown(bool shown, bool animate = true);
    bool isShown() const { return m_shown; }
    bool isSliding() const;
    // Puts the panel at its edge for the parent's current size.
    void place();

private:
    QPoint shownPosition() const;
    QPoint hiddenPosition() const;

    Edge m_edge;
    bool m_shown = false;
    QVBoxLayout *m_layout;
    QPointer<QWidget> m_content;
    QPropertyAnimation *m_animation;
};

} // namespace varnello
