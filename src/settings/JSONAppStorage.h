#pragma once

#include "AppSettingsStore.h"

#include <QMetaObject>
#include <QPointer>
#include <type_traits>
#include <utility>

namespace varnello {

// One setting as a typed value for a view or model: reads go through the store's getter with this
// key and default, assignments through its setter at once. T is QString, bool, QByteArray or
// double.
//
//   JSONAppStorage<bool> hideCW{SettingsKeys::hideCWSpots};
//   if (hideCW.value()) ...;  hideCW.setValue(true);
//   hideCW.observe(this, [this] { refilter(); });
//   auto b = hideCW.binding();  // for a control: connect(box, &QCheckBox::toggled, this,
//   b.setter());
template <typename T> class JSONAppStorage final {
    static_assert(std::is_same_v<T, QString> || std::is_same_v<T, bool> ||
                      std::is_same_v<T, QByteArray> || std::is_same_v<T, double>,
                  "JSONAppStorage holds a text, a truth value, bytes or a double");

public:
    JSONAppStorage(QString key, T defaultValue,
                   AppSettingsStore &store = AppSettingsStore::shared())
        : m_store(&store), m_key(std::move(key)), m_defaultValue(std::move(defaultValue))
    {
    }
    explicit JSONAppStorage(
        const StringSettingKey &key,
        AppSettingsStore &store = AppSettingsStore::shared()) requires std::is_same_v<T, QString>
        : JSONAppStorage(QString(key.name), QString(key.defaultValue), store)
    {
    }
    explicit JSONAppStorage(
        const BoolSettingKey &key,
        AppSettingsStore &store = AppSettingsStore::shared()) requires std::is_same_v<T, bool>
        : JSONAppStorage(QString(key.name), key.defaultValue, store)
    {
    }
    explicit JSONAppStorage(
        const DataSettingKey &key,
        AppSettingsStore &store = AppSettingsStore::shared()) requires std::is_same_v<T, QByteArray>
        : JSONAppStorage(QString(key.name), QByteArray(), store)
    {
    }
    explicit JSONAppStorage(
        const DoubleSettingKey &key,
        AppSettingsStore &store = AppSettingsStore::shared()) requires std::is_same_v<T, double>
        : JSONAppStorage(QString(key.name), key.defaultValue, store)
    {
    }

    const QString &key() const { return m_key; }
    const T &defaultValue() const { return m_defaultValue; }

    T value() const
    {
        if (!m_store)
            return m_defaultValue;
        if constexpr (std::is_same_v<T, QString>)
            return m_store->string(m_key, m_defaultValue);
        else if constexpr (std::is_same_v<T, bool>)
            return m_store->boolValue(m_key, m_defaultValue);
        else if constexpr (std::is_same_v<T, QByteArray>)
            return m_store->data(m_key, m_defaultValue);
        else
            return m_store->doubleValue(m_key, m_defaultValue);
    }

    void setValue(const T &value) const { write(m_store, m_key, value); }

    // Calls `callback()` on `context`'s thread whenever this key changes.
    template <typename Callback>
    QMetaObject::Connection observe(const QObject *context, Callback callback) const
    {
        return QObject::connect(
            m_store.data(), &AppSettingsStore::valueChanged, context,
            [key = m_key, callback = std::move(callback)](const QString &changed) mutable {
                if (changed == key)
                    callback();
            });
    }

    // The two-way binding a control uses. Its set does not write at once: the write (and the save)
    // happens one event-loop turn later, so a control's change handler that reads the setting in
    // the same turn still sees the old value. Two quick changes give two writes, in order.
    class Binding final {
    public:
        T get() const { return m_storage.value(); }
        void set(const T &value) const
        {
            QPointer<AppSettingsStore> store = m_storage.m_store;
            if (!store)
                return;
            QMetaObject::invokeMethod(
                store.data(), [store, key = m_storage.m_key, value] { write(store, key, value); },
                Qt::QueuedConnection);
        }
        // A callable for QObject::connect from a control's change signal.
        auto setter() const
        {
            return [binding = *this](const T &value) { binding.set(value); };
        }

    private:
        friend class JSONAppStorage;
        explicit Binding(JSONAppStorage storage) : m_storage(std::move(storage)) {}
        JSONAppStorage m_storage;
    };

    // Bindings exist for texts and truth values only, the two kinds controls edit.
    Binding binding() const requires(std::is_same_v<T, QString> || std::is_same_v<T, bool>)
    {
        return Binding(*this);
    }

private:
    static void write(const QPointer<AppSettingsStore> &store, const QString &key, const T &value)
    {
        if (!store)
            return;
        if constexpr (std::is_same_v<T, QString>)
            store->setString(key, value);
        else if constexpr (std::is_same_v<T, bool>)
            store->setBool(key, value);
        else if constexpr (std::is_same_v<T, QByteArray>)
            store->setData(key, value);
        else
            store->setDouble(key, value);
    }

    QPointer<AppSettingsStore> m_store;
    QString m_key;
    T m_defaultValue;
};

} // namespace varnello
