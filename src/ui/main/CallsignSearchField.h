#pragma once

#include <QFrame>

class QLineEdit;
class QToolButton;

namespace varnello {

// The toolbar's callsign search: a magnifier, the text field and a clear button that shows only
// while there is text. Escape in the field clears it.
class CallsignSearchField final : public QFrame {
    Q_OBJECT

public:
    explicit CallsignSearchField(QWidget *parent = nullptr);

    // Shows the state's text without reporting it back as an edit.
    void setText(const QString &text);
    QString text() const;
    QLineEdit *lineEdit() const { return m_edit; }

Q_SIGNALS:
    void textEdited(const QString &text);
    void clearRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_edit;
    QToolButton *m_clear;
};

} // namespace varnello
