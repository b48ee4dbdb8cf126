#include "SendSpotBar.h"

#include "ClusterConnection.h"
#include "FilterPanelParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace varnello {

SendSpotBar::SendSpotBar(ClusterConnection &cluster, RegistrationMailBuilder registrationMail,
                         UrlOpener openUrl, QWidget *parent)
    : QWidget(parent), m_cluster(cluster), m_registrationMail(std::move(registrationMail)),
      m_openUrl(std::move(openUrl))
{
    setObjectName(QStringLiteral("sendSpotBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(filterparts::secondaryLabel(QStringLiteral("Send spot:"), this));
    m_callsign = new QLineEdit(this);
    m_callsign->setObjectName(QStringLiteral("spotCallsign"));
    m_callsign->setPlaceholderText(QStringLiteral("Callsign"));
    m_callsign->setFixedWidth(130);
    m_frequency = new QLineEdit(this);
    m_frequency->setObjectName(QStringLiteral("spotFrequency"));
    m_frequency->setPlaceholderText(QStringLiteral("Frequency (kHz)"));
    m_frequency->setFixedWidth(140);
    m_comment = new QLineEdit(this);
    m_comment->setObjectName(QStringLiteral("spotComment"));
    m_comment->setPlaceholderText(QStringLiteral("Comment"));
    m_button = new QPushButton(this);
    m_button->setObjectName(QStringLiteral("sendSpotButton"));
    layout->addWidget(m_callsign);
    layout->addWidget(m_frequency);
    layout->addWidget(m_comment, 1);
    layout->addWidget(m_button);

    connect(m_frequency, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString filtered = filterFrequencyInput(text);
        if (filtered != text) {
            // The cursor stays after the characters before it that were kept.
            const int cursor = m_frequency->cursorPosition();
            const int kept = int(filterFrequencyInput(text.left(cursor)).size());
            m_frequency->setText(filtered);
            m_frequency->setCursorPosition(kept);
        }
        refresh();
    });
    connect(m_callsign, &QLineEdit::textChanged, this, &SendSpotBar::refresh);
    connect(m_comment, &QLineEdit::returnPressed, this, [this] {
        // Return never starts the registration.
        if (!m_cluster.registrationRequired())
            submitSpot();
    });
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_cluster.registrationRequired())
            requestRegistration();
        else
            submitSpot();
    });
    connect(&m_cluster, &ClusterConnection::registrationRequiredChanged, this,
            &SendSpotBar::refresh);
    connect(&m_cluster, &ClusterConnection::isLoggedInChanged, this, &SendSpotBar::refresh);
    refresh();
}

QString SendSpotBar::filterFrequencyInput(const QString &text)
{
    QString result;
    bool pointSeen = false;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            result.append(c);
        } else if (c == u'.' && !pointSeen) {
            pointSeen = true;
            result.append(c);
        }
    }
    return result;
}

bool SendSpotBar::parsesAsDecimal(QStringView text)
{
    int digits = 0;
    int points = 0;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.')
            ++points;
        else
            return false;
    }
    return digits > 0 && points <= 1;
}

bool SendSpotBar::canSendSpot() const
{
    return m_cluster.isLoggedIn() && !m_callsign->text().trimmed().isEmpty() &&
           parsesAsDecimal(m_frequency->text());
}

// A spot the connection would drop keeps its texts: sending needs a login as well.
void SendSpotBar::submitSpot()
{
    if (m_cluster.registrationRequired() || !canSendSpot())
        return;
    const QString callsign = m_callsign->text().trimmed().toUpper();
    const QString frequency = m_frequency->text().trimmed();
    if (!m_cluster.sendSpot(callsign, frequency, m_comment->text().trimmed()))
        return; // refused (too many lines waiting): the texts stay for another try
    m_callsign->clear();
    m_frequency->clear();
    m_comment->clear();
    QTimer::singleShot(0, m_callsign, [this] { m_callsign->setFocus(); });
}

void SendSpotBar::requestRegistration()
{
    if (!m_cluster.registrationRequired() || !m_registrationMail)
        return;
    const std::optional<QUrl> link = m_registrationMail(m_cluster.activeCallsign());
    if (!link)
        return;
    if (m_openUrl)
        m_openUrl(*link);
    m_cluster.startRegistrationRecheck();
    auto *alert =
        new QMessageBox(QMessageBox::NoIcon, QString(), QString(), QMessageBox::NoButton, this);
    alert->setObjectName(QStringLiteral("registrationAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setTextFormat(Qt::PlainText);
    alert->setWindowTitle(QStringLiteral("Varnello"));
    alert->setText(QStringLiteral("Registration request"));
    // The title in bold, as in the window's other alerts.
    if (auto *title = alert->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
    }
    alert->setInformativeText(QStringLiteral(
        "Your registration request has been prepared in your mail application. Once you have "
        "received confirmation that your callsign has been registered, disconnect and reconnect "
        "to the cluster."));
    alert->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    alert->open();
}

void SendSpotBar::refresh()
{
    const bool register_ = m_cluster.registrationRequired();
    m_button->setText(register_ ? QStringLiteral("Register") : QStringLiteral("Send Spot"));
    m_button->setEnabled(register_ ? m_cluster.isLoggedIn() : canSendSpot());
}

} // namespace varnello
