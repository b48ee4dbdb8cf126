#pragma once

#include <QIcon>
#include <QWidget>

class QLabel;
class QPushButton;

namespace varnello {

// The panel that stands in for missing content: an icon, a title, a description and at most one
// action button. Texts are shown as plain text.
class EmptyStateView final : public QWidget {
    Q_OBJECT

public:
    explicit EmptyStateView(QWidget *parent = nullptr);

    // An empty actionTitle hides the button.
    void setContent(const QIcon &icon, const QString &title, const QString &description,
                    const QString &actionTitle = {});

    QString title() const;
    QString description() const;
    QString actionTitle() const;

Q_SIGNALS:
    void actionTriggered();

private:
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_description;
    QPushButton *m_action;
};

} // namespace varnello
