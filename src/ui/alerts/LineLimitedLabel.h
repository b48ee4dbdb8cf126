#pragma once

// A plain-text label that shows at most a few lines of its text, cut at the tail, and keeps the
// whole text for its tooltip. It is laid out again only when its text or width changes, and it
// never asks its parent for more width than it has, so a long text costs no more than what shows.

#include <QLabel>

namespace varnello {

class LineLimitedLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LineLimitedLabel)

public:
    explicit LineLimitedLabel(int maximumLines, QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return m_fullText; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void breakIntoLines();

    int m_maximumLines;
    QString m_fullText;
    int m_brokenAtWidth = -1;
};

} // namespace varnello
