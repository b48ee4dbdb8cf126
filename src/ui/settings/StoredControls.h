#pragma once

#include "SettingsKeys.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace varnello {

class AppSettingsStore;

// Keeps a line edit showing one text setting. By default each edit is written one turn of the
// main loop later (the deferred write of settings bindings), and the file is saved once the
// typing pauses; `write` replaces that with the caller's own immediate write. The field follows
// changes made elsewhere, but never while its own writes are still on their way, so fast typing is
// not overwritten by its own echo.
class StoredLineEdit final : public QObject {
    Q_OBJECT

public:
    using Write = std::function<void(const QString &text)>;
    StoredLineEdit(QLineEdit *edit, AppSettingsStore &store, const StringSettingKey &key,
                   Write write = {});
    void refresh();

private:
    QLineEdit *m_edit;
    AppSettingsStore &m_store;
    StringSettingKey m_key;
    int m_pendingWrites = 0;
};

// The same for a checkbox and a truth setting.
class StoredCheckBox final : public QObject {
    Q_OBJECT

public:
    using Write = std::function<void(bool checked)>;
    StoredCheckBox(QCheckBox *box, AppSettingsStore &store, const BoolSettingKey &key,
                   Write write = {});
    void refresh();

private:
    QCheckBox *m_box;
    AppSettingsStore &m_store;
    BoolSettingKey m_key;
    int m_pendingWrites = 0;
};

// Checkboxes that behave as one choice over a text setting: clicking one chooses its option,
// clicking the chosen one changes nothing, and a stored value matching no option shows none.
class StoredChoice final : public QObject {
    Q_OBJECT

public:
    using Choose = std::function<void(const QString &option)>;
    StoredChoice(QList<QPair<QCheckBox *, QString>> options, AppSettingsStore &store,
                 const StringSettingKey &key, Choose choose, QObject *parent);
    void refresh();

private:
    QList<QPair<QCheckBox *, QString>> m_options;
    QButtonGroup *m_group;
    AppSettingsStore &m_store;
    StringSettingKey m_key;
};

} // namespace varnello
