#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QMessageBox;

namespace varnello {

// An application-modal alert of the shell: a title, a message and its buttons, the first of which
// is the default one. Titles and messages may carry text from the network and are always shown
// as plain text.
struct ShellAlert {
    QString title;
    QString text;
    QStringList buttons;

    bool operator==(const ShellAlert &) const = default;
};

// Shows shell alerts without blocking the caller; `done` receives the index of the button chosen
// (the last button when the alert is dismissed with Escape or closed).
class ShellAlertPresenter {
public:
    using Done = std::function<void(int button)>;
    virtual ~ShellAlertPresenter() = default;
    virtual void present(const ShellAlert &alert, Done done) = 0;
};

// The desktop presenter: a QMessageBox without a parent window, modal to the whole application.
class MessageBoxAlertPresenter final : public ShellAlertPresenter {
public:
    void present(const ShellAlert &alert, Done done) override;

    // The message box of an alert, not yet shown; the buttons carry the object names
    // "shellAlertButton0", "shellAlertButton1", ...
    static QMessageBox *makeMessageBox(const ShellAlert &alert);
};

} // namespace varnello
