#include "ShellAlertPresenter.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace varnello {

QMessageBox *MessageBoxAlertPresenter::makeMessageBox(const ShellAlert &alert)
{
    auto *box = new QMessageBox;
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("Varnello"));
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.title);
    box->setInformativeText(alert.text);
    // QMessageBox guesses the informative text's format, and a release note or version text that
    // looks like HTML would be rendered (images fetched, links made).
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    const QStringList buttons =
        alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const bool last = i == buttons.size() - 1;
        const QMessageBox::ButtonRole role = i == 0 ? QMessageBox::AcceptRole
                                             : last ? QMessageBox::RejectRole
                                                    : QMessageBox::ActionRole;
        QPushButton *button = box->addButton(buttons[i], role);
        button->setObjectName(QStringLiteral("shellAlertButton%1").arg(i));
        if (i == 0)
            box->setDefaultButton(button);
        if (last)
            box->setEscapeButton(button);
    }
    return box;
}

void MessageBoxAlertPresenter::present(const ShellAlert &alert, Done done)
{
    QMessageBox *box = makeMessageBox(alert);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    const qsizetype count = std::max<qsizetype>(1, alert.buttons.size());
    QObject::connect(box, &QMessageBox::finished, box, [box, count, done = std::move(done)] {
        int chosen = int(count - 1);
        for (qsizetype i = 0; i < count; ++i) {
            if (box->clickedButton() &&
                box->clickedButton()->objectName() == QStringLiteral("shellAlertButton%1").arg(i))
                chosen = int(i);
        }
        if (done)
            done(chosen);
    });
    box->show();
}

} // namespace varnello
