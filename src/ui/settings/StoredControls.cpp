#include "StoredControls.h"

#include "AppSettingsStore.h"
#include "JSONAppStorage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <type_traits>

namespace varnello {

namespace {

// Writes through the settings binding (one turn later) and counts the write as pending until
// it has landed; the counter's step is queued behind the write, so it runs after it.
template <typename T, typename Key>
void deferredWrite(QObject *context, AppSettingsStore &store, const Key &key, const T &value,
                   int &pending, std::function<void()> landed)
{
    ++pending;
    if constexpr (std::is_same_v<T, QString>) {
        // Text arrives at key rate: the value lands one turn later like any binding's, but the
        // file is written once the typing pauses (or at quit), not per keystroke.
        QMetaObject::invokeMethod(
            &store,
            [target = QPointer(&store), name = QString(key.name), value] {
                if (target)
                    target->setString(name, value, AppSettingsStore::SaveTiming::coalesced);
            },
            Qt::QueuedConnection);
    } else {
        JSONAppStorage<T>(key, store).binding().set(value);
    }
    QMetaObject::invokeMethod(
        context,
        [&pending, landed = std::move(landed)] {
            if (--pending == 0)
                landed();
        },
        Qt::QueuedConnection);
}

} // namespace

StoredLineEdit::StoredLineEdit(QLineEdit *edit, AppSettingsStore &store,
                               const StringSettingKey &key, Write write)
    : QObject(edit), m_edit(edit), m_store(store), m_key(key)
{
    connect(edit, &QLineEdit::textEdited, this, [this, write](const QString &text) {
        if (write)
            write(text);
        else
            deferredWrite(this, m_store, m_key, text, m_pendingWrites, [this] { refresh(); });
    });
    connect(&store, &AppSettingsStore::valueChanged, this, [this](const QString &changed) {
        if (changed == m_key.name && m_pendingWrites == 0)
            refresh();
    });
    refresh();
}

void StoredLineEdit::refresh()
{
    const QString value = m_store.string(m_key);
    if (m_edit->text() != value)
        m_edit->setText(value);
}

StoredCheckBox::StoredCheckBox(QCheckBox *box, AppSettingsStore &store, const BoolSettingKey &key,
                               Write write)
    : QObject(box), m_box(box), m_store(store), m_key(key)
{
    connect(box, &QCheckBox::clicked, this, [this, write](bool checked) {
        if (write) {
            write(checked);
            refresh(); // the write may have kept the old value
        } else {
            deferredWrite(this, m_store, m_key, checked, m_pendingWrites, [this] { refresh(); });
        }
    });
    connect(&store, &AppSettingsStore::valueChanged, this, [this](const QString &changed) {
        if (changed == m_key.name && m_pendingWrites == 0)
            refresh();
    });
    refresh();
}

void StoredCheckBox::refresh()
{
    m_box->setChecked(m_store.boolValue(m_key));
}

StoredChoice::StoredChoice(QList<QPair<QCheckBox *, QString>> options, AppSettingsStore &store,
                           const StringSettingKey &key, Choose choose, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_group(new QButtonGroup(this)),
      m_store(store), m_key(key)
{
    for (int i = 0; i < m_options.size(); ++i)
        m_group->addButton(m_options[i].first, i);
    connect(m_group, &QButtonGroup::idClicked, this, [this, choose](int id) {
        const QString &option = m_options[id].second;
        if (m_store.string(m_key) != option && choose)
            choose(option);
        refresh();
    });
    connect(&store, &AppSettingsStore::valueChanged, this, [this](const QString &changed) {
        if (changed == m_key.name)
            refresh();
    });
    refresh();
}

void StoredChoice::refresh()
{
    const QString value = m_store.string(m_key);
    // An exclusive group cannot show "none chosen", which a hand-edited value needs.
    m_group->setExclusive(false);
    for (const auto &[box, option] : m_options)
        box->setChecked(option == value);
    m_group->setExclusive(true);
}

} // namespace varnello
