#pragma once

#include <QLabel>

namespace varnello {

// A one-line plain-text label that gives way to its neighbours: narrower than its text, it draws
// the text cut with "…" at the end. text() stays the whole text.
class ElidedLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text = QString(), QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    // Sets the text, and a tooltip that holds all of it (none for a blank text), so that a text
    // cut with "…" can still be read whole.
    void setTextAndToolTip(const QString &text);
    // Whether the text is cut at the label's present width.
    bool isElided() const;
    // What the label draws at its present width: the text, or its start and "…".
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace varnello
