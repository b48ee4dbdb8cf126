#pragma once

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

namespace varnello {

// One alert: a bold title, a plain-text message under it and buttons by role.
struct SettingsAlert {
    struct Button {
        QString text;
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        bool operator==(const Button &) const = default;
    };
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString title;
    QString message;
    QList<Button> buttons{{QStringLiteral("OK"), QMessageBox::RejectRole}};
    // The button Return chooses; a destructive alert points it at its "Cancel".
    int defaultButton = 0;
    bool operator==(const SettingsAlert &) const = default;
};

// Shows the alerts of the Settings window and the Factory Reset command. Tests install a
// presenter that records the alerts and answers them.
class SettingsAlertPresenter {
public:
    // The index of the chosen button, or -1 when the alert went away without one.
    using Answer = std::function<void(int buttonIndex)>;

    virtual ~SettingsAlertPresenter() = default;
    // Returns at once; `answer` runs when the alert is dismissed. `parent` null means
    // application-modal.
    virtual void present(QWidget *parent, const SettingsAlert &alert, Answer answer) = 0;
};

// Window-modal message boxes, one at a time: an alert raised while another is up waits for it.
class MessageBoxAlertPresenter final : public SettingsAlertPresenter {
public:
    ~MessageBoxAlertPresenter() override;
    void present(QWidget *parent, const SettingsAlert &alert, Answer answer) override;

    // The message box for an alert; its text is never read as markup.
    static QMessageBox *makeMessageBox(QWidget *parent, const SettingsAlert &alert);

private:
    struct Pending {
        QPointer<QWidget> parent;
        bool hadParent = false;
        SettingsAlert alert;
        Answer answer;
    };
    void showNext();

    QList<Pending> m_queue;
    QPointer<QMessageBox> m_current;
};

} // namespace varnello
