#pragma once

#include <QWidget>

class QLabel;

namespace varnello {

// A "content unavailable" panel of the alert editor: symbol, title and description, centred.
// The description may come from a file or the network and is always shown as plain text.
class AlertEmptyState final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertEmptyState)

public:
    AlertEmptyState(const QString &symbol, const QString &title, QWidget *parent = nullptr);
    void setDescription(const QString &text);
    QString title() const;
    QString description() const;

private:
    QLabel *m_title;
    QLabel *m_description;
};

} // namespace varnello
