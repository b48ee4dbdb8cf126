#pragma once

#include "AlertModel.h"

#include <QAbstractButton>
#include <QColor>
#include <QColorDialog>
#include <QPointer>
#include <optional>

namespace varnello {

// The colour well of the alert panels: a swatch of an alert colour that opens a colour dialog
// without an opacity control. It reports only a colour the user picks; showing a colour never
// writes one back, since a QColor round trip would change the stored components (0.8 comes back
// as 0.8000000119).
class ColorSwatchButton final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColorSwatchButton)

public:
    explicit ColorSwatchButton(QWidget *parent = nullptr);

    // Shows the colour; emits nothing.
    void setColor(const SpotAlertColor &colour);
    SpotAlertColor color() const { return m_colour; }
    void setDialogTitle(const QString &title) { m_dialogTitle = title; }

    // The open dialog, if any (for tests and for closing it with its sheet).
    QColorDialog *dialog() const { return m_dialog; }

    // The sRGB components of a picked colour; nothing for an invalid one.
    static std::optional<SpotAlertColor> alertColorFromPicked(const QColor &picked);
    static QColor displayColor(const SpotAlertColor &colour);

    QSize sizeHint() const override;

Q_SIGNALS:
    void colorPicked(const varnello::SpotAlertColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openDialog();

    SpotAlertColor m_colour;
    QString m_dialogTitle;
    QPointer<QColorDialog> m_dialog;
};

} // namespace varnello
