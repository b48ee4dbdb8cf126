#include "NodeTranscript.h"

#include "CTYDatabase.h"

#include <random>

namespace varnello::bench {

namespace {

QString pick(std::mt19937 &rng, const QStringList &from)
{
    return from[int(rng() % quint32(from.size()))];
}

QStringList dxCalls(std::mt19937 &rng, const CTYDatabase *database)
{
    QStringList prefixes;
    if (database) {
        for (const auto &rule : database->prefixRules())
            if (rule.key.size() <= 3 && rule.key.back().isLetter())
                prefixes << rule.key;
    }
    if (prefixes.isEmpty())
        prefixes = {QStringLiteral("DL"), QStringLiteral("W"),  QStringLiteral("JA"),
                    QStringLiteral("VK"), QStringLiteral("UA"), QStringLiteral("PY")};
    const char *letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QStringList calls;
    for (int i = 0; i < 4000; ++i) {
        QString call = pick(rng, prefixes) + QChar(u'0' + int(rng() % 10));
        for (int n = 1 + int(rng() % 3); n > 0; --n)
            call += QLatin1Char(letters[rng() % 26]);
        calls << call;
    }
    return calls;
}

// "DX de SPOTTER:" padded, frequency right-aligned, call padded, comment padded, time.
QString spotLine(const QString &spotter, double khz, const QString &call, const QString &comment,
                 const QString &time, const QString &tail)
{
    QString head = QStringLiteral("DX de ") + spotter + u':';
    head = head.leftJustified(24 - 8, u' ');
    return head + QString::number(khz, 'f', 1).rightJustified(8, u' ') + QStringLiteral("  ") +
           call.leftJustified(13, u' ') + u' ' + comment.leftJustified(30, u' ') + u' ' + time +
           tail;
}

} // namespace

const CTYDatabase &builtInCountryDatabase()
{
    static const CTYDatabase database =
        CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat")).database.value();
    return database;
}

QStringList realisticNodeLines(qsizetype count, quint32 seed, const CTYDatabase *database)
{
    std::mt19937 rng(seed);
    const QStringList calls = dxCalls(rng, database);
    const QStringList skimmers{"EA5WU-#", "W3LPL-#", "DK9IP-#",  "JA1ZGP-#", "VE6WZ-#",
                               "OH6BG-#", "K9LC-#",  "RU9CZD-#", "G4ZFE-#",  "VK2GEL-#"};
    const QStringList humans{"K1TTT", "G4ZFE", "DL1ABC", "UA3ABC", "JA1XYZ", "VE3EJ", "R7AB"};
    const QStringList odd{"4U1UN/B",      "VP2E/W1ABC", "R1FJL/MM", "3DA0XYZ", "VK0/LR2ABC",
                          "KH6/DL1ABC/P", "ZL7/G3ABC",  "OH2B",     "W6WX/B",  "9A1UN"};
    const QStringList cyrillic{"Привет всем", "работаю на приём", "спасибо за QSO",
                               "слышно хорошо 59"};
    QStringList lines;
    lines.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const int kind = int(rng() % 100);
        const QString time = QStringLiteral("%1%2Z")
                                 .arg(int(rng() % 24), 2, 10, QLatin1Char('0'))
                                 .arg(int(rng() % 60), 2, 10, QLatin1Char('0'));
        const QString call = pick(rng, calls);
        const QString bells = rng() % 4 == 0 ? QStringLiteral("\a\a") : QString();
        if (kind < 45) {
            lines << spotLine(
                pick(rng, skimmers), 7000.0 + int(rng() % 3000) / 10.0, call,
                QStringLiteral("CW %1 dB %2 WPM CQ").arg(rng() % 40).arg(18 + rng() % 20), time,
                bells);
        } else if (kind < 55) {
            lines << spotLine(pick(rng, skimmers), 14080.0 + int(rng() % 200) / 10.0, call,
                              QStringLiteral("RTTY %1 dB 45 BPS CQ").arg(rng() % 40), time, bells);
        } else if (kind < 75) {
            lines << spotLine(pick(rng, skimmers), 14074.0 + int(rng() % 30) / 10.0, call,
                              QStringLiteral("FT8 -%1 dB %2 Hz").arg(rng() % 24).arg(rng() % 3000),
                              time, QString());
        } else if (kind < 87) {
            const QString comment =
                rng() % 5 == 0 ? pick(rng, cyrillic) : QStringLiteral("up 5 tnx QSO 59");
            lines << spotLine(pick(rng, humans), 14150.0 + int(rng() % 2000) / 10.0, call, comment,
                              time, QStringLiteral(" FN42") + bells);
        } else if (kind < 92) {
            lines << spotLine(pick(rng, humans), 28200.0 + int(rng() % 100) / 10.0, pick(rng, odd),
                              QStringLiteral("NCDXF beacon"), time, QString());
        } else if (kind < 94) {
            lines << QStringLiteral(
                "WWV de W0MU <18>:   SFI=140, A=5, K=1, No Storms -> No Storms");
        } else if (kind < 97) {
            lines << QStringLiteral("To ALL de %1: %2")
                         .arg(pick(rng, humans),
                              rng() % 2 ? pick(rng, cyrillic)
                                        : QStringLiteral("contest this weekend, please QSY up"));
        } else if (kind < 99) {
            lines << QStringLiteral("N0CALL de %1: see you at 1800Z").arg(pick(rng, humans));
        } else {
            lines << QStringLiteral("N0CALL de GB7TST  7-Dec-2026 %1 dxspider >").arg(time);
        }
    }
    return lines;
}

QByteArray joinedWithCrLf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines) {
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}

} // namespace varnello::bench
