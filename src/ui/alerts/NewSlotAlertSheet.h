#pragma once

#include "AlertActionControls.h"
#include "AlertModel.h"

#include <QDialog>
#include <QHash>
#include <QMap>
#include <functional>

class QButtonGroup;
class QHBoxLayout;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QVBoxLayout;

namespace varnello {

class ContentView;
class LineLimitedLabel;

// The New Slot Alert sheet with its two faces: the summary, from which the configuration is
// stored, and the configuration form, whose controls edit only the view's draft and whose Apply
// runs the Club Log lookup. It shows the face the view asks for and closes itself when the view
// no longer presents it; Escape is the Cancel of the face shown.
class NewSlotAlertSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewSlotAlertSheet)

public:
    static constexpr QSize summarySize{700, 620};
    static constexpr QSize formSize{700, 760};

    NewSlotAlertSheet(ContentView &view, QWidget *parent);
    ~NewSlotAlertSheet() override;

    void reject() override;

private:
    // What both faces share: the header, a scrolling column and the button bar.
    struct FaceFrame {
        QWidget *content = nullptr;
        QVBoxLayout *column = nullptr;
        QLabel *headerTrailing = nullptr;
        QHBoxLayout *bar = nullptr;
    };
    static FaceFrame buildFaceFrame(QWidget *face, const QString &headerTrailing,
                                    int columnSpacing);
    static QPushButton *sheetButton(const QString &text, const char *name, QWidget *parent);

    QWidget *buildSummaryFace();
    QWidget *buildFormFace();
    QWidget *buildModeSection();
    QWidget *buildBandSection();
    QWidget *buildActionSection();
    QCheckBox *bandCheckBox(const QString &band, QWidget *parent);
    void followPresentation();
    void render();
    void renderSummary(const NewSlotAlertConfiguration &draft);
    void renderForm(const NewSlotAlertConfiguration &draft);
    void editDraft(const std::function<void(NewSlotAlertConfiguration &)> &change);

    ContentView &m_view;
    QStackedWidget *m_faces = nullptr;
    bool m_showingSummary = true;

    struct Summary {
        QWidget *face = nullptr;
        QLabel *explanation = nullptr;
        QWidget *blocks = nullptr;
        QLabel *neededFor = nullptr;
        QLabel *modes = nullptr;
        QLabel *bands = nullptr;
        QLabel *actions = nullptr;
        QLabel *refreshDate = nullptr;
        QLabel *counts = nullptr;
        QPushButton *saveAndEnable = nullptr;
    } m_summary;

    struct Form {
        QWidget *face = nullptr;
        QLabel *refreshDate = nullptr;
        QRadioButton *notWorked = nullptr;
        QRadioButton *notConfirmed = nullptr;
        QMap<ClubLogMode, QCheckBox *> modes;
        QHash<QString, QCheckBox *> bands;
        AlertActionControls actions;
        LineLimitedLabel *failure = nullptr;
        QPushButton *refresh = nullptr;
        QPushButton *apply = nullptr;
    } m_form;
};

} // namespace varnello
