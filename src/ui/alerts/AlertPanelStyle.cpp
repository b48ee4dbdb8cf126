#include "AlertPanelStyle.h"

#include "Icons.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace varnello::alertstyle {

QFont font(TextStyle style)
{
    QFont f = QApplication::font();
    const qreal base = f.pointSizeF() > 0 ? f.pointSizeF() : 10.0;
    switch (style) {
    case TextStyle::title2:
        f.setPointSizeF(base + 5);
        f.setWeight(QFont::DemiBold);
        break;
    case TextStyle::headline:
        f.setPointSizeF(base + 1);
        f.setWeight(QFont::DemiBold);
        break;
    case TextStyle::subheadlineSemibold:
        f.setWeight(QFont::DemiBold);
        break;
    case TextStyle::body:
        break;
    case TextStyle::callout:
        f.setPointSizeF(base - 0.5);
        break;
    case TextStyle::caption:
        f.setPointSizeF(base - 1.5);
        break;
    }
    return f;
}

void setTextStyle(QWidget *widget, TextStyle style, bool semibold)
{
    QFont f = font(style);
    if (semibold)
        f.setWeight(QFont::DemiBold);
    widget->setFont(f);
}

void setSecondary(QWidget *widget)
{
    QPalette palette = widget->palette();
    const QColor dimmed = palette.color(QPalette::PlaceholderText);
    palette.setColor(QPalette::WindowText, dimmed);
    palette.setColor(QPalette::Text, dimmed);
    // Flat header buttons draw their label in the button text colour.
    palette.setColor(QPalette::ButtonText, dimmed);
    widget->setPalette(palette);
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = plainLabel(text, parent);
    label->setWordWrap(true);
    setTextStyle(label, TextStyle::caption);
    setSecondary(label);
    return label;
}

QVBoxLayout *sectionLayout(QWidget *section, int spacing)
{
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

void setCheckedQuietly(QAbstractButton *button, bool checked)
{
    const QSignalBlocker block(button);
    button->setChecked(checked);
}

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Midlight));
    line->setPalette(palette);
    return line;
}

QPushButton *headerButton(const QString &text, TextStyle style, const QString &toolTip,
                          QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setFont(font(style));
    button->setToolTip(toolTip);
    button->setCursor(Qt::PointingHandCursor);
    // Reads as a heading: no frame, no extra padding.
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; padding: 0; text-align: left; }"));
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

QIcon symbol(QStringView name)
{
    struct Entry {
        const char *design;
        const char *theme;
        QStyle::StandardPixmap fallback;
    };
    static const Entry table[] = {
        {"speaker.wave.2", "audio-volume-medium", QStyle::SP_MediaVolume},
        {"highlighter", "format-fill-color", QStyle::SP_DialogApplyButton},
        {"play.fill", "media-playback-start", QStyle::SP_MediaPlay},
        {"trash", "edit-delete", QStyle::SP_TrashIcon},
        {"exclamationmark.triangle", "dialog-warning", QStyle::SP_MessageBoxWarning},
        {"exclamationmark.triangle.fill", "dialog-warning", QStyle::SP_MessageBoxWarning},
        {"checkmark.circle.fill", "emblem-ok", QStyle::SP_DialogApplyButton},
        {"person.crop.circle.badge.plus", "contact-new", QStyle::SP_FileDialogNewFolder},
    };
    // The window's own drawings first, so the panels look alike where the desktop has no theme.
    if (QIcon icon = themedIcon(name); !icon.isNull())
        return icon;
    for (const Entry &entry : table) {
        if (name == QLatin1String(entry.design))
            return QIcon::fromTheme(QString::fromLatin1(entry.theme),
                                    QApplication::style()->standardIcon(entry.fallback));
    }
    return {};
}

} // namespace varnello::alertstyle
