#include "SettingsAlertPresenter.h"

#include "BackgroundSheet.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>

namespace varnello {

namespace {
constexpr const char *buttonIndexProperty = "varnelloAlertButtonIndex";
} // namespace

MessageBoxAlertPresenter::~MessageBoxAlertPresenter()
{
    if (m_current) {
        m_current->disconnect();
        delete m_current.data();
    }
}

QMessageBox *MessageBoxAlertPresenter::makeMessageBox(QWidget *parent, const SettingsAlert &alert)
{
    auto *box = new QMessageBox(parent);
    box->setIcon(alert.icon);
    box->setWindowTitle(alert.title);
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.title);
    box->setInformativeText(alert.message);
    // setTextFormat reaches only the title label; the message may hold a server's text.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    QList<QPushButton *> rejecting;
    for (int i = 0; i < alert.buttons.size(); ++i) {
        QPushButton *added = box->addButton(alert.buttons[i].text, alert.buttons[i].role);
        added->setProperty(buttonIndexProperty, i);
        if (i == alert.defaultButton)
            box->setDefaultButton(added);
        if (alert.buttons[i].role == QMessageBox::RejectRole)
            rejecting.append(added);
    }
    // Escape answers with the one "Cancel", never with whatever the box would guess.
    if (rejecting.size() == 1)
        box->setEscapeButton(rejecting.first());
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QFont titleFont = box->font();
    titleFont.setBold(true);
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
        label->setFont(titleFont);
    return box;
}

void MessageBoxAlertPresenter::present(QWidget *parent, const SettingsAlert &alert, Answer answer)
{
    m_queue.append(Pending{parent, parent != nullptr, alert, std::move(answer)});
    if (!m_current)
        showNext();
}

void MessageBoxAlertPresenter::showNext()
{
    while (!m_queue.isEmpty()) {
        Pending next = m_queue.takeFirst();
        if (next.hadParent && !next.parent)
            continue; // its window is gone
        QMessageBox *box = makeMessageBox(next.parent, next.alert);
        m_current = box;
        QObject::connect(
            box, &QMessageBox::finished, box, [this, box, answer = std::move(next.answer)](int) {
                QAbstractButton *clicked = box->clickedButton();
                const int index = clicked ? clicked->property(buttonIndexProperty).toInt() : -1;
                if (answer)
                    answer(index);
                m_current = nullptr;
                showNext();
            });
        backgroundsheet::leaveKeyboardAlone(box);
        // open() would make even a parentless box window-modal, which blocks nothing.
        if (next.hadParent)
            box->open();
        else
            box->show();
        return;
    }
}

} // namespace varnello
