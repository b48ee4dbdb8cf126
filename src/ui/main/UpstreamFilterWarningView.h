#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

namespace varnello {

// The sheet that lists filters found on the node and asks whether to clear them. Return answers
// Yes, Escape and the window manager's close answer No; it never closes itself (its owner closes
// it once the answer is done).
class UpstreamFilterWarningView final : public QDialog {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> onYes;
        std::function<void()> onNoAndDontAskAgain;
        std::function<void()> onNo;
    };

    UpstreamFilterWarningView(const QStringList &filters, Actions actions,
                              QWidget *parent = nullptr);

    // 520, or 760 for more than three lines or any line longer than 47 characters.
    static int sheetWidth(const QStringList &filters);

    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    Actions m_actions;
};

} // namespace varnello
