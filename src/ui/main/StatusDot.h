#pragma once

#include "MainWindowTexts.h"

#include <QWidget>

namespace varnello {

// The status bar's coloured dot: red, orange while logging in, green when logged in.
class StatusDot final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString colorName READ colorName)

public:
    static constexpr int diameter = 10;

    explicit StatusDot(QWidget *parent = nullptr);
    void setStatusColor(StatusColor color);
    StatusColor statusColor() const { return m_color; }
    QString colorName() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    StatusColor m_color = StatusColor::red;
};

} // namespace varnello
