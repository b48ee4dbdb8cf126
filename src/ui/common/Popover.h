#pragma once

#include <QDialog>

namespace varnello {

// A small window opened from a button and closed by a click outside it. It draws a frame and a
// shadow of its own, so it stands apart from the window under it, and it opens inside the
// available area of its button's screen: under the button when it fits there, moved left, or
// above the button when there is no room below.
class Popover : public QDialog {
    Q_OBJECT

public:
    // Room the frame and shadow take at the edges; content margins should be larger.
    static constexpr int edge = 4;

    explicit Popover(QWidget *parent = nullptr);

protected:
    // Sizes the popover to its content, places it for `anchor` and shows it.
    void showFrom(const QWidget *anchor);
    void paintEvent(QPaintEvent *event) override;
};

} // namespace varnello
