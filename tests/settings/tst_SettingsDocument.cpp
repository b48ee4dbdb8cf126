#include "SettingsDocument.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <cmath>

using namespace varnello;

// The document format on its own: what the writer produces and what the reader accepts.
class TestSettingsDocument : public QObject {
    Q_OBJECT

private:
    // Absent keys show up as a value no test stores.
    static StoredSetting entry(const SettingsDocument &d, const char *key)
    {
        return d.values.value(QString::fromLatin1(key),
                              StoredSetting::string(QStringLiteral("<absent>")));
    }

    static SettingsDocument sample()
    {
        SettingsDocument d;
        d.values.insert(QStringLiteral("path"), StoredSetting::string(QStringLiteral("a/b")));
        d.values.insert(QStringLiteral("blob"), StoredSetting::data(QByteArray("\xff\xff\xfe", 3)));
        d.values.insert(QStringLiteral("Zulu"), StoredSetting::boolean(true));
        d.values.insert(QStringLiteral("count"), StoredSetting::integer(-9007199254740993LL));
        d.values.insert(QStringLiteral("ping"), StoredSetting::number(0.1));
        d.values.insert(QStringLiteral("when"), StoredSetting::number(1765108800.25));
        d.values.insert(QStringLiteral("empty"), StoredSetting::data({}));
        return d;
    }

private Q_SLOTS:
    void encode_isPrettySortedAndEscapesEverySolidus()
    {
        const QByteArray json = sample().encode();
        QVERIFY(json.contains("\n    \"schemaVersion\": 1,\n    \"values\": {\n"));
        QVERIFY(json.indexOf("\"schemaVersion\"") < json.indexOf("\"values\""));
        QVERIFY(json.indexOf("\"type\"") < json.indexOf("\"value\""));
        // Keys in sorted order, capitals first.
        const QList<QByteArray> order{"\"Zulu\"", "\"blob\"", "\"count\"", "\"empty\"",
                                      "\"path\"", "\"ping\"", "\"when\""};
        for (qsizetype i = 1; i < order.size(); ++i)
            QVERIFY2(json.indexOf(order[i - 1]) < json.indexOf(order[i]), order[i].constData());
        QVERIFY(json.contains(R"("a\/b")"));
        QVERIFY(json.contains(R"("\/\/\/+")")); // Base64 of ff ff fe
        QVERIFY(!json.contains(R"("a/b")"));
        QVERIFY(!json.contains("////"));
    }

    void encode_writesShortestNumbersAndExactIntegers()
    {
        const QByteArray json = sample().encode();
        QVERIFY(json.contains("\"value\": 0.1\n"));
        QVERIFY(json.contains("\"value\": 1765108800.25\n"));
        QVERIFY(json.contains("\"value\": -9007199254740993\n"));
    }

    void encode_decode_roundTripsEveryCase()
    {
        const SettingsDocument original = sample();
        const auto decoded = SettingsDocument::decode(original.encode());
        QVERIFY(decoded);
        QCOMPARE(decoded->values.size(), original.values.size());
        QVERIFY(*decoded == original);
    }

    void encode_writesSchemaVersionOneWhateverWasRead()
    {
        SettingsDocument d;
        d.schemaVersion = 7;
        const auto back = SettingsDocument::decode(d.encode());
        QVERIFY(back);
        QCOMPARE(back->schemaVersion, 1);
        QVERIFY(d.encode().contains("\"values\": {\n    }"));
    }

    void decode_acceptsAnyLayoutAndOrder()
    {
        const QByteArray compact =
            R"({"values":{"b":{"value":"x\/y","type":"string"},"a":{"value":2.5,"type":"double"},)"
            R"("n":{"value":3,"type":"double"},"i":{"type":"integer","value":7.0}},"schemaVersion":7})";
        const auto d = SettingsDocument::decode(compact);
        QVERIFY(d);
        QCOMPARE(d->schemaVersion, 7);
        QCOMPARE(entry(*d, "b"), StoredSetting::string(QStringLiteral("x/y")));
        QCOMPARE(entry(*d, "a"), StoredSetting::number(2.5));
        QCOMPARE(entry(*d, "n"), StoredSetting::number(3));
        QCOMPARE(entry(*d, "i"), StoredSetting::integer(7));
    }

    void decode_rejectsMalformedDocuments_data()
    {
        QTest::addColumn<QByteArray>("json");
        auto doc = [](const char *entry) {
            return QByteArray(
                       R"({"schemaVersion":1,"values":{"ok":{"type":"bool","value":true},"k":)") +
                   entry + "}}";
        };
        QTest::newRow("not JSON") << QByteArray("schemaVersion = 1");
        QTest::newRow("array root") << QByteArray("[]");
        QTest::newRow("no schemaVersion") << QByteArray(R"({"values":{}})");
        QTest::newRow("no values") << QByteArray(R"({"schemaVersion":1})");
        QTest::newRow("fractional schemaVersion")
            << QByteArray(R"({"schemaVersion":1.5,"values":{}})");
        QTest::newRow("text schemaVersion") << QByteArray(R"({"schemaVersion":"1","values":{}})");
        QTest::newRow("values not an object") << QByteArray(R"({"schemaVersion":1,"values":[]})");
        QTest::newRow("unknown type") << doc(R"({"type":"date","value":1})");
        QTest::newRow("type in wrong case") << doc(R"({"type":"Bool","value":true})");
        QTest::newRow("missing value") << doc(R"({"type":"string"})");
        QTest::newRow("missing type") << doc(R"({"value":"x"})");
        QTest::newRow("entry not an object") << doc(R"("x")");
        QTest::newRow("bool written as text") << doc(R"({"type":"bool","value":"true"})");
        QTest::newRow("string written as number") << doc(R"({"type":"string","value":1})");
        QTest::newRow("double written as text") << doc(R"({"type":"double","value":"1.5"})");
        QTest::newRow("double written as null") << doc(R"({"type":"double","value":null})");
        QTest::newRow("fractional integer") << doc(R"({"type":"integer","value":1.5})");
        QTest::newRow("integer beyond 64 bits") << doc(R"({"type":"integer","value":1e30})");
        QTest::newRow("unpadded Base64") << doc(R"({"type":"data","value":"YWI"})");
        QTest::newRow("padding inside Base64") << doc(R"({"type":"data","value":"YQ==YWJj"})");
        QTest::newRow("Base64 with a blank") << doc(R"({"type":"data","value":"YW Jj"})");
        QTest::newRow("URL-safe Base64") << doc(R"({"type":"data","value":"__8-"})");
        QTest::newRow("non-ASCII Base64") << doc(R"({"type":"data","value":"YWJ\u00e9"})");
        QTest::newRow("data as number") << doc(R"({"type":"data","value":12})");
    }

    void decode_rejectsMalformedDocuments()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!SettingsDocument::decode(json));
    }

    void decode_acceptsPaddedBase64()
    {
        const auto d = SettingsDocument::decode(
            R"({"schemaVersion":1,"values":{"a":{"type":"data","value":"YWI="},"b":{"type":"data","value":""}}})");
        QVERIFY(d);
        QCOMPARE(entry(*d, "a").dataValue(), QByteArray("ab"));
        QCOMPARE(entry(*d, "b").dataValue(), QByteArray());
    }

    void storedSetting_equalityNeedsSameCaseAndPayload()
    {
        QVERIFY(StoredSetting::string(QStringLiteral("1")) != StoredSetting::boolean(true));
        QVERIFY(StoredSetting::integer(1) != StoredSetting::number(1.0));
        QVERIFY(StoredSetting::number(0.5) == StoredSetting::number(0.5));
        QVERIFY(StoredSetting::number(std::nan("")) != StoredSetting::number(std::nan("")));
        QCOMPARE(StoredSetting::string(QStringLiteral("x")).boolValue(), std::nullopt);
        for (auto kind :
             {StoredSetting::Kind::String, StoredSetting::Kind::Bool, StoredSetting::Kind::Data,
              StoredSetting::Kind::Integer, StoredSetting::Kind::Double})
            QCOMPARE(StoredSetting::kindFromRaw(StoredSetting::kindToRaw(kind)), kind);
    }
};

QTEST_GUILESS_MAIN(TestSettingsDocument)
#include "tst_SettingsDocument.moc"
