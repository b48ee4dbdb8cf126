#include "AppSettingsStore.h"
#include "RbnSkimmerSettings.h"

#include <QTest>

using namespace varnello;

Q_DECLARE_METATYPE(varnello::RBNModeSet)
Q_DECLARE_METATYPE(std::optional<varnello::RBNStatusLine>)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

std::optional<RBNStatusLine> status(RBNStatusField field, bool value)
{
    return RBNStatusLine{field, value};
}

} // namespace

class tst_RbnSkimmerSettings : public QObject {
    Q_OBJECT

private slots:
    void modeSet_listsRawValuesInCaseOrder()
    {
        RBNModeSet modes;
        modes.insert(RBNMode::ft);
        modes.insert(RBNMode::beacon);
        modes.insert(RBNMode::cw);
        QCOMPARE(modes.rawValues(), (QStringList{"CW", "BEACON", "FT"}));
        QCOMPARE(modes, (RBNModeSet{RBNMode::cw, RBNMode::ft, RBNMode::beacon}));
        modes.remove(RBNMode::beacon);
        QCOMPARE(modes.size(), 2);
        QVERIFY(!modes.contains(RBNMode::beacon));
        for (RBNMode mode : allRBNModes)
            QCOMPARE(rbnModeFromRaw(toRaw(mode)), std::optional<RBNMode>(mode));
        QCOMPARE(rbnModeFromRaw(u"cw"), std::nullopt);
    }

    void statusLine_readsSkimmerNamesInAnyCase_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<std::optional<RBNStatusLine>>("expected");
        const std::optional<RBNStatusLine> none;
        QTest::newRow("spots, mixed case, blanks around colon")
            << "Want RBN Spots : Yes" << status(RBNStatusField::spots, true);
        QTest::newRow("cw, no blank before colon")
            << "Want RBN CW: yes" << status(RBNStatusField::cw, true);
        QTest::newRow("ft4/8 no") << "want rbn ft4/8 :no" << status(RBNStatusField::ft, false);
        QTest::newRow("beacon with tabs and CR")
            << "\t want rbn beacon\t:\tNO \r" << status(RBNStatusField::beacon, false);
        QTest::newRow("psk") << "WANT RBN PSK : YES" << status(RBNStatusField::psk, true);
        QTest::newRow("rtty") << "want rbn rtty : no" << status(RBNStatusField::rtty, false);
        QTest::newRow("value other than yes or no") << "want rbn cw : on" << none;
        QTest::newRow("empty value") << "want rbn cw :" << none;
        QTest::newRow("value with a second colon") << "want rbn cw : yes: no" << none;
        QTest::newRow("no colon") << "want rbn cw yes" << none;
        QTest::newRow("unknown name") << "want rbn ssb : yes" << none;
        QTest::newRow("name with extra words") << "want rbn spots today : yes" << none;
        QTest::newRow("other status line") << "Privilege Level : 0" << none;
        QTest::newRow("empty line") << "" << none;
    }
    void statusLine_readsSkimmerNamesInAnyCase()
    {
        QFETCH(QString, line);
        QFETCH(std::optional<RBNStatusLine>, expected);
        QCOMPARE(decodeRBNStatusLine(line), expected);
    }

    void statusReply_gathersEnabledModesAndBeaconSighting()
    {
        RBNStatusReply reply;
        for (const char *line : {"User Information for N0CALL", "Want RBN Spots : Yes",
                                 "Want RBN CW: yes", "want rbn ft4/8 :no", "garbage"})
            reply.apply(QString::fromLatin1(line));
        QCOMPARE(reply.enabled, std::optional<bool>(true));
        QCOMPARE(reply.modes, RBNModeSet{RBNMode::cw});
        QVERIFY2(!reply.sawBeaconField, "no beacon line was in the reply");

        QVERIFY(reply.apply(u"want rbn beacon : no"));
        QVERIFY(reply.sawBeaconField);
        QVERIFY(reply.apply(u"want rbn cw : no"));
        QVERIFY2(reply.modes.isEmpty(), "a later line replaces an earlier one");
        QVERIFY(!reply.apply(u"want rbn cw : maybe"));
    }

    void settingsCommand_listsModesInCaseOrder_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<RBNModeSet>("modes");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("beacon and cw") << true << RBNModeSet{RBNMode::beacon, RBNMode::cw}
                                       << std::optional<QString>("set/skimmer CW BEACON");
        QTest::newRow("cw, rtty, ft") << true << RBNModeSet{RBNMode::ft, RBNMode::rtty, RBNMode::cw}
                                      << std::optional<QString>("set/skimmer CW RTTY FT");
        QTest::newRow("all") << true
                             << RBNModeSet{RBNMode::psk, RBNMode::ft, RBNMode::rtty,
                                           RBNMode::beacon, RBNMode::cw}
                             << std::optional<QString>("set/skimmer CW BEACON PSK RTTY FT");
        QTest::newRow("enabled without modes") << true << RBNModeSet{} << std::optional<QString>();
        QTest::newRow("disabled ignores modes")
            << false << RBNModeSet{RBNMode::cw} << std::optional<QString>("unset/skimmer");
    }
    void settingsCommand_listsModesInCaseOrder()
    {
        QFETCH(bool, enabled);
        QFETCH(RBNModeSet, modes);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(rbnSettingsCommand(enabled, modes), expected);
    }

    void primaryStatus_roundTripsThroughStoreAndNeedsKnownFlag()
    {
        AppSettingsStore store(std::nullopt);
        QCOMPARE(readPrimaryRBNStatus(store), std::nullopt);

        writePrimaryRBNStatus(store, true, {RBNMode::beacon, RBNMode::rtty});
        QCOMPARE(readPrimaryRBNStatus(store), std::optional<PrimaryRBNStatus>(PrimaryRBNStatus{
                                                  true, {RBNMode::beacon, RBNMode::rtty}}));
        writePrimaryRBNStatus(store, false, {});
        QCOMPARE(readPrimaryRBNStatus(store),
                 std::optional<PrimaryRBNStatus>(PrimaryRBNStatus{false, {}}));

        store.setBool(QStringLiteral("primaryRBNStatusKnown"), false);
        QCOMPARE(readPrimaryRBNStatus(store), std::nullopt);
    }

    void backupMirror_sendsOnlyWhenBackupDiffers_data()
    {
        QTest::addColumn<bool>("savedEnabled");
        QTest::addColumn<RBNModeSet>("savedModes");
        QTest::addColumn<bool>("backupKnown");
        QTest::addColumn<bool>("backupEnabled");
        QTest::addColumn<RBNModeSet>("backupModes");
        QTest::addColumn<std::optional<QString>>("expected");
        const RBNModeSet cw{RBNMode::cw};
        const RBNModeSet cwFt{RBNMode::cw, RBNMode::ft};
        const std::optional<QString> none;
        const std::optional<QString> setCw("set/skimmer CW");
        const std::optional<QString> unset("unset/skimmer");
        QTest::newRow("equal enabled state") << true << cw << true << true << cw << none;
        QTest::newRow("other modes") << true << cw << true << true << cwFt << setCw;
        QTest::newRow("backup disabled") << true << cw << true << false << RBNModeSet{} << setCw;
        QTest::newRow("backup unknown") << true << cw << false << false << RBNModeSet{} << setCw;
        QTest::newRow("both disabled, modes ignored")
            << false << RBNModeSet{} << true << false << cw << none;
        QTest::newRow("primary disabled, backup enabled")
            << false << RBNModeSet{} << true << true << cw << unset;
        QTest::newRow("primary disabled, backup unknown")
            << false << cw << false << false << RBNModeSet{} << unset;
        QTest::newRow("primary enabled without modes")
            << true << RBNModeSet{} << true << false << RBNModeSet{} << none;
    }
    void backupMirror_sendsOnlyWhenBackupDiffers()
    {
        QFETCH(bool, savedEnabled);
        QFETCH(RBNModeSet, savedModes);
        QFETCH(bool, backupKnown);
        QFETCH(bool, backupEnabled);
        QFETCH(RBNModeSet, backupModes);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(backupMirrorCommand({savedEnabled, savedModes}, backupKnown, backupEnabled,
                                     backupModes),
                 expected);
    }
};

QTEST_GUILESS_MAIN(tst_RbnSkimmerSettings)
#include "tst_RbnSkimmerSettings.moc"
