#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

#include <QDialog>
class QWidget;

namespace varnello {

class ContentView;

// Shows the window's sheets and alerts, at most one at a time: when several are wanted, the
// first in the order below; when the one shown closes, the next one still wanted. The state
// decides what is wanted; refresh() compares and opens or closes.
class SheetPresenter final : public QObject {
    Q_OBJECT

public:
    enum class Presentation {
        alertEditor,
        allowedSpotterEntities,
        blockedWords,
        unsupportedNode,
        upstreamFilters,
        spotSubmission,
        autoReconnect,
    };
    static constexpr int presentationCount = 7;

    // An editor sheet belonging to another panel: when it is wanted and how it is made. The sheet
    // closes itself by clearing its state (for example ContentView::closeAlertEditor()).
    struct EditorSheet {
        std::function<bool()> isWanted;
        std::function<QDialog *(QWidget *window)> make;
    };

    SheetPresenter(ContentView &view, QWidget *window);
    ~SheetPresenter() override;

    void setEditorSheet(Presentation presentation, EditorSheet sheet);

    // Call after any state change (the window's coalesced refresh does).
    void refresh();

    std::optional<Presentation> current() const;
    QDialog *currentDialog() const { return m_dialog; }

Q_SIGNALS:
    void presented(varnello::SheetPresenter::Presentation presentation);

private:
    // What identifies the value a presentation shows; a new identity replaces the sheet.
    std::optional<QString> wantedIdentity(Presentation presentation) const;
    QDialog *make(Presentation presentation);
    QDialog *makeAlert(Presentation presentation);
    void dismissCurrent();
    void handleFinished(QDialog *dialog, int result);

    ContentView &m_view;
    QPointer<QWidget> m_window;
    std::array<EditorSheet, 3> m_editors;
    QPointer<QDialog> m_dialog;
    std::optional<Presentation> m_current;
    QString m_currentIdentity;
};

} // namespace varnello
