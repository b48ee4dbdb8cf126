#include "SettingsDocument.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace varnello {

namespace {

constexpr QLatin1StringView schemaVersionMember{"schemaVersion"};
constexpr QLatin1StringView valuesMember{"values"};
constexpr QLatin1StringView typeMember{"type"};
constexpr QLatin1StringView valueMember{"value"};

// A JSON number that is a whole number within 64 bits (7 and 7.0 both count; 7.5 does not).
std::optional<qint64> integerOf(const QJsonValue &v)
{
    if (!v.isDouble())
        return std::nullopt;
    const qint64 a = v.toInteger(0);
    if (a != v.toInteger(1))
        return std::nullopt;
    return a;
}

// Standard Base64 with its padding: Qt's decoder alone also takes unpadded text and '=' in the
// middle, which a strict reader of this document rejects.
std::optional<QByteArray> strictBase64(const QString &text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    const qsizetype firstPad = text.indexOf(QLatin1Char('='));
    if (firstPad >= 0) {
        if (firstPad < text.size() - 2)
            return std::nullopt;
        for (qsizetype i = firstPad; i < text.size(); ++i) {
            if (text.at(i) != QLatin1Char('='))
                return std::nullopt;
        }
    }
    auto result =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(result.decoded);
}

std::optional<StoredSetting> decodeEntry(const QJsonValue &entry)
{
    if (!entry.isObject())
        return std::nullopt;
    const QJsonObject object = entry.toObject();
    const QJsonValue type = object.value(typeMember);
    const QJsonValue value = object.value(valueMember);
    if (!type.isString())
        return std::nullopt;
    const auto kind = StoredSetting::kindFromRaw(type.toString());
    if (!kind)
        return std::nullopt;
    switch (*kind) {
    case StoredSetting::Kind::String:
        if (!value.isString())
            return std::nullopt;
        return StoredSetting::string(value.toString());
    case StoredSetting::Kind::Bool:
        if (!value.isBool())
            return std::nullopt;
        return StoredSetting::boolean(value.toBool());
    case StoredSetting::Kind::Data: {
        if (!value.isString())
            return std::nullopt;
        const QString text = value.toString();
        // toLatin1 would turn non-Latin-1 characters into '?', which is not Base64 anyway, but
        // check explicitly so no lossy conversion can ever produce valid text.
        for (const QChar c : text) {
            if (c.unicode() > 0x7f)
                return std::nullopt;
        }
        auto bytes = strictBase64(text);
        if (!bytes)
            return std::nullopt;
        return StoredSetting::data(std::move(*bytes));
    }
    case StoredSetting::Kind::Integer: {
        const auto number = integerOf(value);
        if (!number)
            return std::nullopt;
        return StoredSetting::integer(*number);
    }
    case StoredSetting::Kind::Double:
        if (!value.isDouble())
            return std::nullopt;
        return StoredSetting::number(value.toDouble());
    }
    return std::nullopt;
}

QJsonValue encodeEntry(const StoredSetting &setting)
{
    QJsonValue value;
    switch (setting.kind()) {
    case StoredSetting::Kind::String:
        value = *setting.stringValue();
        break;
    case StoredSetting::Kind::Bool:
        value = *setting.boolValue();
        break;
    case StoredSetting::Kind::Data:
        value = QString::fromLatin1(setting.dataValue()->toBase64());
        break;
    case StoredSetting::Kind::Integer:
        value = *setting.integerValue();
        break;
    case StoredSetting::Kind::Double:
        value = *setting.doubleValue();
        break;
    }
    return QJsonObject{{typeMember, StoredSetting::kindToRaw(setting.kind())},
                       {valueMember, value}};
}

} // namespace

QByteArray SettingsDocument::encode() const
{
    QJsonObject valuesObject;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        valuesObject.insert(it.key(), encodeEntry(it.value()));
    // QJsonObject keeps its members sorted by key, so the output is sorted at every level.
    const QJsonObject root{{schemaVersionMember, currentSchemaVersion},
                           {valuesMember, valuesObject}};
    QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    // "/" can only occur inside JSON strings, so escaping every one keeps the document valid.
    json.replace('/', QByteArrayLiteral("\\/"));
    return json;
}

std::optional<SettingsDocument> SettingsDocument::decode(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject())
        return std::nullopt;
    const QJsonObject root = json.object();
    const auto version = integerOf(root.value(schemaVersionMember));
    const QJsonValue valuesValue = root.value(valuesMember);
    if (!version || !valuesValue.isObject())
        return std::nullopt;

    SettingsDocument document;
    document.schemaVersion = *version;
    const QJsonObject valuesObject = valuesValue.toObject();
    for (auto it = valuesObject.constBegin(); it != valuesObject.constEnd(); ++it) {
        auto setting = decodeEntry(it.value());
        if (!setting)
            return std::nullopt;
        document.values.insert(it.key(), std::move(*setting));
    }
    return document;
}

} // namespace varnello
