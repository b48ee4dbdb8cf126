#pragma once

#include "ClusterTypes.h"

#include <QDialog>
#include <functional>

namespace varnello {

// The sheet about a node that is not DXSpider: a CC Cluster node (usable with fewer features:
// Fix, Continue, Continue and don't ask again) or an unsupported node (one "Continue" that
// restores the default node). It never closes itself: its owner closes it once the answer has
// been acted on. Escape answers Continue on the CC Cluster form and does nothing on the other.
class UnsupportedClusterWarningView final : public QDialog {
    Q_OBJECT

public:
    static constexpr int sheetWidth = 670;

    struct Actions {
        std::function<void()> onFix;
        std::function<void()> onContinue;
        std::function<void()> onContinueAndDontAskAgain;
    };

    UnsupportedClusterWarningView(const ClusterNodeWarning &warning, Actions actions,
                                  QWidget *parent = nullptr);

    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    ClusterNodeWarning m_warning;
    Actions m_actions;
};

} // namespace varnello
