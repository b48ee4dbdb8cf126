#include "AlertEditorRules.h"

#include <QTest>

using namespace varnello;

Q_DECLARE_METATYPE(varnello::SpotAlertConfiguration)
Q_DECLARE_METATYPE(varnello::ClubLogEntitySlotRule)

namespace {

QList<CTYEntity> sampleEntities()
{
    return {{230, "Fed. Rep. of Germany", "DL", false},
            {291, "United States", "K", false},
            {1, "Canada", "VE", false},
            {223, "England", "G", false},
            {248, "Italy", "I", false}};
}

QList<int> numbers(const QList<CTYEntity> &entities)
{
    QList<int> result;
    for (const CTYEntity &entity : entities)
        result.append(entity.adifNumber);
    return result;
}

} // namespace

class tst_AlertEditorRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nameLimit_cutsToThirtyUserPerceivedCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString thirty(30, QLatin1Char('a'));
        // A family emoji: four people joined by zero-width joiners, eleven UTF-16 units.
        const QString family =
            QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2"
                              "\x80\x8D\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6");
        const QString eAcute = QStringLiteral("e\u0301");
        QTest::newRow("30 kept") << thirty << thirty;
        QTest::newRow("31 cut") << thirty + "b" << thirty;
        QTest::newRow("emoji counts as one")
            << family + QString(29, 'x') << family + QString(29, 'x');
        QTest::newRow("emoji as 31st dropped whole") << thirty + family << thirty;
        QTest::newRow("emoji 30th kept whole")
            << QString(29, 'x') + family + "yz" << QString(29, 'x') + family;
        QTest::newRow("combining accent one char")
            << QString(29, 'x') + eAcute + "z" << QString(29, 'x') + eAcute;
        QTest::newRow("leading blanks kept while typing")
            << "   " + QString(30, 'q') << "   " + QString(27, 'q');
    }
    void nameLimit_cutsToThirtyUserPerceivedCharacters()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QCOMPARE(limitedAlertName(typed), kept);
    }

    void savedName_trimsDefaultsAndCuts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("saved");
        QTest::newRow("blanks slot 2") << " \t\n " << 2 << "Alert 3";
        QTest::newRow("blanks slot 4") << "  " << 4 << "Callsign Alert";
        QTest::newRow("trimmed") << "  DX  " << 0 << "DX";
        QTest::newRow("long cut") << QString(40, 'n') << 1 << QString(30, 'n');
        QTest::newRow("three blanks then 27") << "   " + QString(27, 'q') << 0 << QString(27, 'q');
    }
    void savedName_trimsDefaultsAndCuts()
    {
        QFETCH(QString, name);
        QFETCH(int, slot);
        QFETCH(QString, saved);
        QCOMPARE(savedAlertName(name, slot), saved);
    }

    void clearAllComparison_data()
    {
        QTest::addColumn<SpotAlertConfiguration>("draft");
        QTest::addColumn<bool>("clear");
        SpotAlertConfiguration base;
        base.name = QStringLiteral("Alert 2");
        QTest::newRow("default") << base << true;
        auto with = [&base](auto change) {
            SpotAlertConfiguration d = base;
            change(d);
            return d;
        };
        QTest::newRow("trailing blank") << with([](auto &d) { d.name += ' '; }) << false;
        QTest::newRow("entity") << with([](auto &d) { d.selectedEntityADIFNumbers = {1}; })
                                << false;
        QTest::newRow("callsign") << with([](auto &d) { d.selectedCallsigns = {"K1A"}; }) << false;
        QTest::newRow("band") << with([](auto &d) { d.selectedBands = {"20m"}; }) << false;
        QTest::newRow("mode") << with([](auto &d) { d.selectedModes = {SpotType::cw}; }) << false;
        QTest::newRow("club log") << with([](auto &d) { d.clubLogSettings.emplace(); }) << false;
        QTest::newRow("sound") << with([](auto &d) { d.playSound = true; }) << false;
        QTest::newRow("notification") << with([](auto &d) { d.showNotification = true; }) << false;
        QTest::newRow("highlight off ignored")
            << with([](auto &d) { d.highlightRows = false; }) << true;
        QTest::newRow("colour, choice, frequency ignored") << with([](auto &d) {
            d.highlightColor = {0.1, 0.2, 0.3};
            d.soundChoice = AlertSoundChoice::alert2;
            d.soundFrequency = AlertSoundFrequency::everySpot;
        }) << true;
    }
    void clearAllComparison()
    {
        QFETCH(SpotAlertConfiguration, draft);
        QFETCH(bool, clear);
        QCOMPARE(alertDraftIsClear(draft, QStringLiteral("Alert 2")), clear);
    }

    void callsignSanitiser_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("pattern"); // empty: refused
        QTest::newRow("lower case, blanks around") << "  k1abc \n"
                                                   << "K1ABC";
        QTest::newRow("portable suffix") << "ve3/k1abc/p"
                                         << "VE3/K1ABC/P";
        QTest::newRow("prefix star") << "vp2e*"
                                     << "VP2E*";
        QTest::newRow("lone star") << "*"
                                   << "";
        QTest::newRow("star in the middle") << "K*1"
                                            << "";
        QTest::newRow("two stars at the end") << "K1**"
                                              << "";
        QTest::newRow("blank inside") << "K1 ABC"
                                      << "";
        QTest::newRow("hyphen") << "K1-ABC"
                                << "";
        QTest::newRow("accented letter") << QStringLiteral("\u00c9A1") << "";
        QTest::newRow("lower accented letter") << QStringLiteral("\u00e9a1") << "";
        QTest::newRow("only blanks") << "   "
                                     << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("digits and slash") << "/1"
                                          << "/1";
    }
    void callsignSanitiser()
    {
        QFETCH(QString, entry);
        QFETCH(QString, pattern);
        QCOMPARE(sanitizedAlertCallsign(entry).value_or(QString()), pattern);
    }

    void callsignSortOrder()
    {
        const QSet<QString> patterns{"K1ABC", "*X", "G4XYZ", "/P", "9A1A", "K1A/P", "K1AB", "K1"};
        QCOMPARE(sortedAlertCallsigns(patterns),
                 (QStringList{"*X", "/P", "9A1A", "G4XYZ", "K1", "K1A/P", "K1AB", "K1ABC"}));
    }

    void clubLogSlotLines_data()
    {
        QTest::addColumn<QList<ClubLogEntitySlotRule>>("rules");
        QTest::addColumn<QSet<int>>("filter");
        QTest::addColumn<QStringList>("lines");
        const ClubLogEntitySlotRule example{
            291, {{"20m", SpotType::cw}, {"40m", SpotType::ftx}, {"20m", SpotType::otherDigital}}};
        QTest::newRow("example") << QList{example} << QSet<int>{291}
                                 << QStringList{"CW: 20m", "Data: 40m, 20m"};
        QTest::newRow("no filter") << QList{example} << QSet<int>{} << QStringList{};
        QTest::newRow("no rules") << QList<ClubLogEntitySlotRule>{} << QSet<int>{291}
                                  << QStringList{};
        const ClubLogEntitySlotRule second{1, {{"160m", SpotType::ssb}}};
        QTest::newRow("first rule only")
            << QList{second, example} << QSet<int>{291} << QStringList{"SSB: 160m"};
        const ClubLogEntitySlotRule odd{
            291, {{"2200m", SpotType::cw}, {"80m", SpotType::cw}, {"160m", SpotType::cw}}};
        QTest::newRow("band list order, unknown band left out")
            << QList{odd} << QSet<int>{291} << QStringList{"CW: 160m, 80m"};
    }
    void clubLogSlotLines()
    {
        QFETCH(QList<ClubLogEntitySlotRule>, rules);
        QFETCH(QSet<int>, filter);
        QFETCH(QStringList, lines);
        SpotAlertConfiguration draft;
        draft.clubLogSettings = ClubLogAlertSettings{};
        draft.clubLogSettings->entityFilterADIFNumbers = filter;
        draft.clubLogSettings->entitySlotRules = rules;
        QCOMPARE(alertEditorClubLogSlotLines(draft), lines);
    }

    void selectionSummary()
    {
        SpotAlertConfiguration d;
        QCOMPARE(alertEditorSelectionSummary(4, d), QStringLiteral("0 callsigns"));
        d.selectedCallsigns = {"K1A"};
        QCOMPARE(alertEditorSelectionSummary(4, d), QStringLiteral("1 callsign"));
        d.selectedCallsigns.insert("K2B");
        QCOMPARE(alertEditorSelectionSummary(4, d), QStringLiteral("2 callsigns"));
        d.selectedEntityADIFNumbers = {291};
        QCOMPARE(alertEditorSelectionSummary(0, d), QStringLiteral("1 selected"));
        QCOMPARE(alertEditorSelectionSummary(std::nullopt, d), QStringLiteral("1 selected"));
    }

    void entitySearch_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QSet<int>>("selected");
        QTest::addColumn<QList<int>>("listed");
        QTest::newRow("adif digits") << "230" << QSet<int>{} << QList<int>{230};
        QTest::newRow("blanks only") << "   " << QSet<int>{} << QList<int>{230, 291, 1, 223, 248};
        QTest::newRow("letters any case") << "ITA" << QSet<int>{} << QList<int>{248};
        QTest::newRow("prefix") << "ve" << QSet<int>{} << QList<int>{1};
        QTest::newRow("digit in number") << "1" << QSet<int>{} << QList<int>{291, 1};
        QTest::newRow("selected left out") << "" << QSet<int>{291, 230} << QList<int>{1, 223, 248};
        QTest::newRow("trimmed") << "  k \n" << QSet<int>{} << QList<int>{291};
    }
    void entitySearch()
    {
        QFETCH(QString, search);
        QFETCH(QSet<int>, selected);
        QFETCH(QList<int>, listed);
        QCOMPARE(numbers(searchedUnselectedEntitiesOf(sampleEntities(), selected, search)), listed);
        // The selected section ignores the search and keeps list order.
        QCOMPARE(numbers(selectedEntitiesOf(sampleEntities(), selected)).size(),
                 qsizetype(selected.size()));
    }

    void clubLogEntity_isTheLowestFilterNumber()
    {
        SpotAlertConfiguration d;
        QVERIFY(!clubLogAlertEntityOf(d, sampleEntities()));
        d.clubLogSettings = ClubLogAlertSettings{};
        d.clubLogSettings->entityFilterADIFNumbers = {291, 230};
        QCOMPARE(clubLogAlertEntityOf(d, sampleEntities())->adifNumber, 230);
        d.clubLogSettings->entityFilterADIFNumbers = {999};
        QVERIFY(!clubLogAlertEntityOf(d, sampleEntities()));
    }
};

QTEST_GUILESS_MAIN(tst_AlertEditorRules)
#include "tst_AlertEditorRules.moc"
