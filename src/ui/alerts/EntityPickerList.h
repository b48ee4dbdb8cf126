#pragma once

#include "CTYResult.h"
#include "SectionedListWidget.h"

#include <QList>
#include <QWidget>

class QAction;
class QLineEdit;

namespace varnello {

// The searchable DXCC entity list of the alert editor and the Populate sheet: a search field
// and a list with a "Selected DXCC Entities" section (only when something is selected) above
// "All DXCC Entities". Each row shows a check box, the name and "<prefix> · ADIF <n>"; a click
// anywhere on the row toggles it. The owner supplies the sections and acts on the signals.
class EntityPickerList final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntityPickerList)

public:
    static constexpr int adifRole = Qt::UserRole + 1;
    static constexpr int selectedRole = Qt::UserRole + 2;
    static constexpr int captionRole = Qt::UserRole + 3;

    explicit EntityPickerList(QWidget *parent = nullptr);

    // Rebuilds the rows only when the sections changed, so the scroll position survives.
    void setContent(const QString &search, const QList<CTYEntity> &selected,
                    const QList<CTYEntity> &others);
    void scrollToTop();
    QLineEdit *searchField() const { return m_search; }
    QListWidget *list() const { return m_list; }

Q_SIGNALS:
    void searchEdited(const QString &text);
    void entityToggled(int adifNumber);

private:
    QLineEdit *m_search;
    QAction *m_clear;
    SectionedListWidget *m_list;
    QList<int> m_shownSelected;
    QList<int> m_shownOthers;
};

} // namespace varnello
