#include "CallsignSearchField.h"

#include "Icons.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

namespace varnello {

namespace {
constexpr int fieldWidth = 210;
constexpr int fieldHeight = 26;
constexpr int cornerRadius = 7;
constexpr int iconSize = 14;
} // namespace

CallsignSearchField::CallsignSearchField(QWidget *parent)
    : QFrame(parent), m_edit(new QLineEdit(this)), m_clear(new QToolButton(this))
{
    setObjectName(QStringLiteral("callsignSearch"));
    setFixedSize(fieldWidth, fieldHeight);
    setToolTip(QStringLiteral("Search received spots by DX callsign"));

    auto *magnifier = new QLabel(this);
    magnifier->setPixmap(themedIcon(u"magnifyingglass").pixmap(iconSize, iconSize));

    m_edit->setObjectName(QStringLiteral("callsignSearchField"));
    m_edit->setPlaceholderText(QStringLiteral("Search callsign"));
    m_edit->setFrame(false);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(palette);

    m_clear->setObjectName(QStringLiteral("callsignSearchClear"));
    m_clear->setIcon(themedIcon(u"xmark.circle.fill"));
    m_clear->setIconSize(QSize(iconSize, iconSize));
    m_clear->setAutoRaise(true);
    m_clear->setToolTip(QStringLiteral("Clear callsign search"));
    m_clear->setCursor(Qt::ArrowCursor);
    m_clear->hide();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(6);
    layout->addWidget(magnifier);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_clear);

    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_clear->setVisible(!text.isEmpty());
        emit textEdited(text);
    });
    connect(m_clear, &QToolButton::clicked, this, &CallsignSearchField::clearRequested);
    // Escape is taken from the field's own key events, not from a shortcut: a shortcut follows
    // the focus widget, which still names this field for a moment after a sheet has opened over
    // the window, and would take the Escape meant for the sheet.
    m_edit->installEventFilter(this);
}

bool CallsignSearchField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        emit clearRequested();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void CallsignSearchField::setText(const QString &text)
{
    if (m_edit->text() != text)
        m_edit->setText(text);
    m_clear->setVisible(!text.isEmpty());
}

QString CallsignSearchField::text() const
{
    return m_edit->text();
}

void CallsignSearchField::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Mid);
    fill.setAlphaF(0.25f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

} // namespace varnello
