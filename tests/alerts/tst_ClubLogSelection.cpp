#include "ClubLogSelection.h"

#include <QTest>

using namespace varnello;

using Groups = QSet<ClubLogBandGroup>;
using Bands = QSet<QString>;
using Modes = QSet<ClubLogMode>;
Q_DECLARE_METATYPE(Groups)
Q_DECLARE_METATYPE(Modes)
Q_DECLARE_METATYPE(std::optional<varnello::ClubLogAlertSettings>)
Q_DECLARE_METATYPE(varnello::ClubLogSheetChoices)

namespace {

Bands setOf(const QStringList &list)
{
    return Bands(list.begin(), list.end());
}

const Bands universe = setOf(clubLogBandUniverse());
const Bands hf = setOf(clubLogHFBands());
const Bands vhf = setOf(clubLogVHFUHFBands());
const Groups allGroup{ClubLogBandGroup::allBands};

// One step of a band test: "HF", "VHF", "MW", "Bands", "+20m" (tick) or "-20m" (untick).
void apply(ClubLogBandSelection &s, const QString &step)
{
    if (step == "HF")
        s.toggleHF();
    else if (step == "VHF")
        s.toggleVHFUHF();
    else if (step == "MW")
        s.toggleMicrowave();
    else if (step == "Bands")
        s.toggleAll();
    else
        s.setBand(step.mid(1), step.startsWith('+'));
}

} // namespace

class tst_ClubLogSelection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void universe_isSixteenBandsInThreeGroups()
    {
        QCOMPARE(clubLogBandUniverse().size(), 16);
        QCOMPARE(clubLogBandUniverse().first(), QStringLiteral("160m"));
        QCOMPARE(clubLogBandUniverse().last(), QStringLiteral("13cm"));
        QCOMPARE(clubLogMicrowaveBands(), QStringList{"13cm"});
    }

    void bandSteps_data()
    {
        QTest::addColumn<Groups>("groups");
        QTest::addColumn<Bands>("individual");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<Groups>("groupsAfter");
        QTest::addColumn<Bands>("ticked");
        const Bands rest = universe - hf;
        QTest::newRow("HF from all")
            << allGroup << universe << QStringList{"HF"} << Groups{} << rest;
        QTest::newRow("HF twice from all")
            << allGroup << universe << QStringList{"HF", "HF"} << allGroup << universe;
        QTest::newRow("Bands from all")
            << allGroup << universe << QStringList{"Bands"} << Groups{} << Bands{};
        QTest::newRow("Bands twice")
            << allGroup << universe << QStringList{"Bands", "Bands"} << allGroup << universe;
        QStringList fifteen;
        for (const QString &band : clubLogBandUniverse()) {
            if (band != "20m")
                fifteen << "+" + band;
        }
        QTest::newRow("15 ticks make all bands")
            << Groups{} << Bands{"20m"} << fifteen << allGroup << universe;
        QTest::newRow("13cm unticked from all")
            << allGroup << universe << QStringList{"-13cm"} << Groups{} << universe - Bands{"13cm"};
        QTest::newRow("VHF from all")
            << allGroup << universe << QStringList{"VHF"} << Groups{} << universe - vhf;
        QTest::newRow("Microwave from all")
            << allGroup << universe << QStringList{"MW"} << Groups{} << universe - Bands{"13cm"};
        QTest::newRow("band of a stored group stays ticked")
            << Groups{ClubLogBandGroup::vhfUhf} << Bands{} << QStringList{"-6m"}
            << Groups{ClubLogBandGroup::vhfUhf} << vhf;
        QTest::newRow("VHF button turns a stored group into bands")
            << Groups{ClubLogBandGroup::vhfUhf} << Bands{} << QStringList{"VHF"} << Groups{} << vhf;
        QTest::newRow("HF keeps stored hf group")
            << Groups{ClubLogBandGroup::hf} << Bands{"20m"} << QStringList{"HF"}
            << Groups{ClubLogBandGroup::hf} << hf;
    }
    void bandSteps()
    {
        QFETCH(Groups, groups);
        QFETCH(Bands, individual);
        QFETCH(QStringList, steps);
        QFETCH(Groups, groupsAfter);
        QFETCH(Bands, ticked);
        ClubLogBandSelection s{groups, individual};
        for (const QString &step : steps)
            apply(s, step);
        QCOMPARE(s.groups, groupsAfter);
        QCOMPARE(s.effectiveBands(), ticked);
        if (groupsAfter == allGroup)
            QCOMPARE(s.individualBands, universe);
    }

    void effectiveBands_ofStoredHFWithTwentyMetres_isTwentyMetres()
    {
        const ClubLogBandSelection s{{ClubLogBandGroup::hf}, {"20m"}};
        QCOMPARE(s.effectiveBands(), Bands{"20m"});
    }

    void bandsForGroups_data()
    {
        QTest::addColumn<Groups>("groups");
        QTest::addColumn<Bands>("bands");
        QTest::newRow("hfPlus6m and microwave")
            << Groups{ClubLogBandGroup::hfPlus6m, ClubLogBandGroup::microwave}
            << (hf + Bands{"6m", "13cm"});
        QTest::newRow("empty") << Groups{} << universe;
        QTest::newRow("allBands and hf")
            << Groups{ClubLogBandGroup::allBands, ClubLogBandGroup::hf} << universe;
        QTest::newRow("vhfUhf") << Groups{ClubLogBandGroup::vhfUhf} << vhf;
    }
    void bandsForGroups()
    {
        QFETCH(Groups, groups);
        QFETCH(Bands, bands);
        QCOMPARE(clubLogBandsForGroups(groups), bands);
    }

    void modes_data()
    {
        QTest::addColumn<Modes>("start");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("on");
        QTest::addColumn<Modes>("after");
        using M = ClubLogMode;
        QTest::newRow("tick CW from Mixed")
            << Modes{M::mixed} << int(M::cw) << true << Modes{M::cw};
        QTest::newRow("tick SSB beside CW")
            << Modes{M::cw} << int(M::ssb) << true << Modes{M::cw, M::ssb};
        QTest::newRow("untick one of two")
            << Modes{M::cw, M::ssb} << int(M::ssb) << false << Modes{M::cw};
        QTest::newRow("untick the last") << Modes{M::cw} << int(M::cw) << false << Modes{M::mixed};
        QTest::newRow("tick Mixed")
            << Modes{M::cw, M::data} << int(M::mixed) << true << Modes{M::mixed};
        QTest::newRow("untick Mixed")
            << Modes{M::mixed} << int(M::mixed) << false << Modes{M::mixed};
    }
    void modes()
    {
        QFETCH(Modes, start);
        QFETCH(int, mode);
        QFETCH(bool, on);
        QFETCH(Modes, after);
        setClubLogMode(start, ClubLogMode(mode), on);
        QCOMPARE(start, after);
    }

    void neededFor_behavesAsRadio()
    {
        ClubLogWantedStatus status = ClubLogWantedStatus::notWorked;
        setClubLogWantedStatus(status, ClubLogWantedStatus::notWorked, false);
        QCOMPARE(status, ClubLogWantedStatus::notWorked);
        setClubLogWantedStatus(status, ClubLogWantedStatus::notConfirmed, true);
        QCOMPARE(status, ClubLogWantedStatus::notConfirmed);
    }

    void entity_singleSelection()
    {
        QSet<int> selection;
        toggleClubLogEntity(selection, 291);
        toggleClubLogEntity(selection, 1);
        QCOMPARE(selection, QSet<int>{1});
        toggleClubLogEntity(selection, 1);
        QVERIFY(selection.isEmpty());
    }

    void sheetChoices_fromStoredSettings_data()
    {
        QTest::addColumn<std::optional<ClubLogAlertSettings>>("stored");
        QTest::addColumn<ClubLogSheetChoices>("choices");
        QTest::newRow("none") << std::optional<ClubLogAlertSettings>() << ClubLogSheetChoices{};

        ClubLogAlertSettings s;
        s.wantedStatus = ClubLogWantedStatus::notConfirmed;
        s.modes = {ClubLogMode::cw};
        s.bandGroups = allGroup;
        s.individualBands = universe;
        s.entityFilterADIFNumbers = {291, 1};
        ClubLogSheetChoices c;
        c.wantedStatus = ClubLogWantedStatus::notConfirmed;
        c.modes = {ClubLogMode::cw};
        c.selectedEntity = {1};
        QTest::newRow("lowest of 291 and 1") << std::optional(s) << c;

        ClubLogAlertSettings hfOnly;
        hfOnly.bandGroups = Groups{ClubLogBandGroup::hf};
        ClubLogSheetChoices hfChoices;
        hfChoices.bands = {{ClubLogBandGroup::hf}, hf};
        QTest::newRow("hf without bands: ten HF") << std::optional(hfOnly) << hfChoices;

        ClubLogAlertSettings twenty;
        twenty.bandGroups = allGroup;
        twenty.individualBands = Bands{"20m"};
        ClubLogSheetChoices twentyChoices;
        twentyChoices.bands = {{}, {"20m"}};
        QTest::newRow("allBands with 20m: only 20m") << std::optional(twenty) << twentyChoices;

        ClubLogAlertSettings nothing;
        nothing.bandGroups = Groups{};
        nothing.individualBands = Bands{};
        QTest::newRow("no modes, groups or bands: completed")
            << std::optional(nothing) << ClubLogSheetChoices{};
    }
    void sheetChoices_fromStoredSettings()
    {
        QFETCH(std::optional<ClubLogAlertSettings>, stored);
        QFETCH(ClubLogSheetChoices, choices);
        const ClubLogSheetChoices actual = clubLogSheetChoices(stored);
        QCOMPARE(actual.wantedStatus, choices.wantedStatus);
        QCOMPARE(actual.modes, choices.modes);
        QCOMPARE(actual.bands.groups, choices.bands.groups);
        QCOMPARE(actual.bands.effectiveBands(), choices.bands.effectiveBands());
        QCOMPARE(actual.selectedEntity, choices.selectedEntity);
    }
};

QTEST_GUILESS_MAIN(tst_ClubLogSelection)
#include "tst_ClubLogSelection.moc"
