#pragma once

#include "AlertModel.h"

#include <QWidget>

namespace varnello {

// The small circle of an alert's highlight colour in the sidebar rows; faint while the alert does
// not highlight rows.
class AlertColorDot final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertColorDot)

public:
    static constexpr int diameter = 9;

    explicit AlertColorDot(QWidget *parent = nullptr);

    void setColor(const SpotAlertColor &colour, bool highlights);
    SpotAlertColor color() const { return m_colour; }
    qreal dotOpacity() const { return m_highlights ? 1.0 : 0.25; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SpotAlertColor m_colour;
    bool m_highlights = true;
};

} // namespace varnello
