#pragma once

#include <QWidget>

namespace varnello {

// Holds one widget over its whole area and lays out as that widget would, with its size hints and
// policy. A change inside the widget that keeps its size hints (a label's new text of the same
// width, such as the next spot count) goes no further, so the window is not laid out again for
// it; a change of the hints is passed on as the widget itself would pass it.
class SizeHintSlot final : public QWidget {
    Q_OBJECT

public:
    explicit SizeHintSlot(QWidget *content, QWidget *parent = nullptr);

    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return m_minimumHint; }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // True when the content's hints differ from those last taken.
    bool takeHints();

    QWidget *m_content;
    QSize m_hint;
    QSize m_minimumHint;
};

} // namespace varnello
