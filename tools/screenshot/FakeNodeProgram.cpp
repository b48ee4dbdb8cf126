// A DX cluster node for pictures and trials: the test fixture FakeClusterNode as a program on
// 127.0.0.1. Prints its port on the first line of standard output, then serves until killed.
//
//   varnello_fake_node [--kind dxspider|ccc] [--spots-per-minute N]
//
// After login it answers the recent-spots request with a screenful of spots, and then sends a
// live spot every 60/N seconds.

#include "FakeClusterNode.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

using varnello::test::FakeClusterNode;

namespace {

struct SampleSpot {
    const char *spotter;
    double khz;
    const char *dx;
    const char *comment;
};

// Ordinary traffic of a busy afternoon, across bands and modes.
constexpr SampleSpot samples[] = {
    {"DL1ABC", 14025.0, "JA1XYZ", "CW 599 up 1"},
    {"W3LPL", 7074.0, "VK2IO", "FT8 -12 dB"},
    {"G4ABC", 21295.0, "PY2AA", "SSB 59 strong"},
    {"K1TTT", 28074.0, "ZS6CCY", "FT8 -08 dB"},
    {"OH2BH", 3510.0, "UA9AX", "CW"},
    {"VE3EJ", 14195.0, "3B8XX", "SSB pile-up"},
    {"EA8BQM", 18100.0, "LU1FAM", "FT8 -15 dB"},
    {"N2IC", 50313.0, "CT1HZE", "FT8 -18 dB"},
    {"JA1BRK", 10136.0, "BV1EK", "FT8"},
    {"I2VGW", 24915.0, "9M2TO", "FT8 -10"},
    {"F5IN", 14080.0, "HB9DQL", "RTTY"},
    {"S50A", 7005.0, "KH6LC", "CW QSX 7010"},
    {"PA3GRM", 1840.0, "9A1A", "FT8"},
    {"SM5AJV", 21025.0, "A71AM", "CW 579"},
    {"ON4UN", 3795.0, "OX3LX", "SSB"},
    {"W1AW", 14030.0, "TF3ML", "CW 22 WPM"},
    {"VK3ZL", 28495.0, "ZL2IFB", "SSB 10m open"},
    {"HA1AG", 5357.0, "SV1GE", "FT8 -05 dB"},
    {"K9CT", 144174.0, "W9ZRX", "FT8 meteor"},
    {"DK1VN", 18080.0, "A61Q", "CW"},
};
constexpr int sampleCount = int(std::size(samples));

QString spotText(int index, int minute)
{
    const SampleSpot &s = samples[index % sampleCount];
    QString head = QStringLiteral("DX de %1:").arg(QString::fromLatin1(s.spotter));
    head = head.leftJustified(15, u' ');
    const QString frequency = QString::number(s.khz, 'f', 1).rightJustified(9, u' ');
    const QString dx = QString::fromLatin1(s.dx).leftJustified(13, u' ');
    const QString comment = QString::fromLatin1(s.comment).leftJustified(30, u' ');
    return head + frequency + QStringLiteral("  ") + dx + comment +
           QStringLiteral("%1%2Z")
               .arg(12 + minute / 60, 2, 10, QLatin1Char('0'))
               .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption kind(QStringLiteral("kind"), QStringLiteral("dxspider or ccc"),
                            QStringLiteral("kind"), QStringLiteral("dxspider"));
    QCommandLineOption rate(QStringLiteral("spots-per-minute"),
                            QStringLiteral("live spots per minute"), QStringLiteral("count"),
                            QStringLiteral("30"));
    parser.addOption(kind);
    parser.addOption(rate);
    parser.process(app);

    FakeClusterNode node;
    node.setNodeName(QStringLiteral("GB7TST"));
    node.setBanner(QStringLiteral("Hello, welcome to GB7TST, a DX cluster for testing"));
    node.setKind(parser.value(kind) == QLatin1String("ccc") ? FakeClusterNode::Kind::CCCluster
                                                            : FakeClusterNode::Kind::DXSpider);
    QStringList recent;
    for (int i = 0; i < 40; ++i)
        recent.prepend(spotText(i, i));
    node.setReply(QStringLiteral("sh/dx filter real 50"), recent);
    node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No")});
    node.setReply(QStringLiteral("sh/filter"), {QStringLiteral("No filters defined")});

    // A little of the node's other talk for the console, once the operator has logged in.
    node.onLine = [&node](int connection, const QString &line) {
        if (line != node.loginCallsign(connection))
            return;
        QTimer::singleShot(400, &node, [&node, connection] {
            node.sendLines({QStringLiteral("WWV de W0MU <18>:   SFI=152, A=8, K=2, No Storms -> "
                                           "No Storms"),
                            QStringLiteral("To ALL de G4ABC: CQ WW CW contest this weekend, "
                                           "good luck all"),
                            QStringLiteral("WCY de DK0WCY-1 <17> : K=2 expK=2 A=7 R=91 SFI=152 "
                                           "SA=qui GMF=qui Au=no")},
                           connection);
        });
    };

    const int perMinute = std::max(1, parser.value(rate).toInt());
    int sent = 40;
    QTimer live;
    QObject::connect(&live, &QTimer::timeout, &node, [&] {
        if (node.openConnectionCount() > 0) {
            node.sendLine(spotText(sent, sent));
            ++sent;
        }
    });
    live.start(60000 / perMinute);

    std::printf("%u\n", static_cast<unsigned>(node.port()));
    std::fflush(stdout);
    return app.exec();
}
