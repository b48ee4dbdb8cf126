#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class QLineEdit;
class QMessageBox;
class QPushButton;

namespace varnello {

class ClusterConnection;

// The one-line form of the bottom bar that posts a spot to the node, or, while the node wants the
// callsign registered, prepares the registration mail instead. The window places it in its bottom
// bar. Nothing of it is stored.
class SendSpotBar final : public QWidget {
    Q_OBJECT

public:
    // The registration request link for a callsign, and the opener of links (the desktop's
    // default handler in the program, a fake in tests).
    using RegistrationMailBuilder = std::function<std::optional<QUrl>(const QString &callsign)>;
    using UrlOpener = std::function<bool(const QUrl &)>;

    SendSpotBar(ClusterConnection &cluster, RegistrationMailBuilder registrationMail,
                UrlOpener openUrl, QWidget *parent = nullptr);

    // Digits and the first point, nothing else.
    static QString filterFrequencyInput(const QString &text);
    // Digits with at most one point and at least one digit.
    static bool parsesAsDecimal(QStringView text);

    bool canSendSpot() const;
    void submitSpot();
    void requestRegistration();

private:
    void refresh();

    ClusterConnection &m_cluster;
    RegistrationMailBuilder m_registrationMail;
    UrlOpener m_openUrl;
    QLineEdit *m_callsign = nullptr;
    QLineEdit *m_frequency = nullptr;
    QLineEdit *m_comment = nullptr;
    QPushButton *m_button = nullptr;
};

} // namespace varnello
