#pragma once

#include "StoredSetting.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

namespace varnello {

// The whole settings.json: a schema version and the flat key/value table.
struct SettingsDocument final {
    static constexpr qint64 currentSchemaVersion = 1;
    // A settings file larger than this is not a document this program wrote; it is treated as
    // unreadable instead of being loaded into memory.
    static constexpr qint64 maximumFileSize = 16 * 1024 * 1024;

    qint64 schemaVersion = currentSchemaVersion;
    QMap<QString, StoredSetting> values;

    // Pretty-printed JSON with the members of every object sorted and every "/" written as "\/".
    QByteArray encode() const;

    // Accepts any layout and member order, but fails as a whole when the shape is wrong anywhere:
    // a missing root member, a non-integer schemaVersion, an unknown type text, a value of the
    // wrong JSON type, or data that is not padded standard Base64.
    static std::optional<SettingsDocument> decode(const QByteArray &bytes);

    friend bool operator==(const SettingsDocument &, const SettingsDocument &) = default;
};

} // namespace varnello
