#pragma once

#include <QDialog>

class QCheckBox;

namespace varnello {

class ContentView;

// What "Populate from Club Log" does, shown once over its sheet until dismissed for good with
// "Don’t show again". Closed only by "OK" (Return).
class ClubLogExplanationSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClubLogExplanationSheet)

public:
    ClubLogExplanationSheet(ContentView &view, QWidget *parent);
    void reject() override;

private:
    ContentView &m_view;
    QCheckBox *m_dontShowAgain;
};

} // namespace varnello
