#include "ColorSwatchButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace varnello {

ColorSwatchButton::ColorSwatchButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, &ColorSwatchButton::openDialog);
}

void ColorSwatchButton::setColor(const SpotAlertColor &colour)
{
    if (m_colour == colour)
        return;
    m_colour = colour;
    if (m_dialog)
        m_dialog->setCurrentColor(displayColor(colour));
    update();
}

std::optional<SpotAlertColor> ColorSwatchButton::alertColorFromPicked(const QColor &picked)
{
    if (!picked.isValid())
        return std::nullopt;
    // Extended colours keep components outside 0...1 as they are.
    if (picked.spec() == QColor::ExtendedRgb)
        return SpotAlertColor{double(picked.redF()), double(picked.greenF()),
                              double(picked.blueF())};
    // From the 16-bit channels in double precision: 51 of 255 is 0.2, not 0.2000000030.
    const QRgba64 rgb = picked.toRgb().rgba64();
    return SpotAlertColor{rgb.red() / 65535.0, rgb.green() / 65535.0, rgb.blue() / 65535.0};
}

QColor ColorSwatchButton::displayColor(const SpotAlertColor &colour)
{
    return QColor::fromRgbF(float(qBound(0.0, colour.red, 1.0)),
                            float(qBound(0.0, colour.green, 1.0)),
                            float(qBound(0.0, colour.blue, 1.0)));
}

QSize ColorSwatchButton::sizeHint() const
{
    return {44, 22};
}

void ColorSwatchButton::openDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        return;
    }
    auto *dialog = new QColorDialog(displayColor(m_colour), this);
    dialog->setOption(QColorDialog::ShowAlphaChannel, false);
    dialog->setOption(QColorDialog::DontUseNativeDialog, true);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("colorSwatchDialog"));
    if (!m_dialogTitle.isEmpty())
        dialog->setWindowTitle(m_dialogTitle);
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor &picked) {
        if (const auto colour = alertColorFromPicked(picked)) {
            m_colour = *colour;
            update();
            emit colorPicked(*colour);
        }
    });
    m_dialog = dialog;
    dialog->open();
}

void ColorSwatchButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(palette().color(QPalette::Button));
    painter.drawRoundedRect(frame, 5, 5);
    if (!isEnabled())
        painter.setOpacity(0.35);
    painter.setPen(Qt::NoPen);
    painter.setBrush(displayColor(m_colour));
    painter.drawRoundedRect(frame.adjusted(3, 3, -3, -3), 3, 3);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace varnello
