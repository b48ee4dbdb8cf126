// Showing a downloaded file, against a file manager on a private session bus.
#include "FileManagerReveal.h"
#include "PrivateBusDaemon.h"

#include <QDBusConnection>
#include <QTest>

using namespace varnello;
using namespace varnello::test;

// Stands in for the desktop's org.freedesktop.FileManager1 service.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown.append(uris); }
};

class TestFileManagerReveal : public QObject {
    Q_OBJECT

    PrivateBusDaemon m_daemon;
    QString m_address;
    FakeFileManager m_manager;

private Q_SLOTS:
    void initTestCase()
    {
        const QString daemon = PrivateBusDaemon::executable();
        if (daemon.isEmpty())
            QFAIL("dbus-daemon is not installed (tools/deps.sh installs it)");
        m_address = m_daemon.start(daemon);
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase() { m_daemon.stop(); }

    void reveal_asksTheFileManagerElseOpensTheFolder_data()
    {
        QTest::addColumn<QString>("bus"); // "service", "no service" or "none"
        QTest::addColumn<bool>("askedManager");
        QTest::newRow("file manager answers") << "service" << true;
        QTest::newRow("no file manager") << "no service" << false;
        QTest::newRow("no session bus") << "none" << false;
    }
    void reveal_asksTheFileManagerElseOpensTheFolder()
    {
        QFETCH(QString, bus);
        QFETCH(bool, askedManager);
        m_manager.shown.clear();
        QDBusConnection service = QDBusConnection::connectToBus(m_address, QStringLiteral("fm"));
        if (bus == QLatin1String("service")) {
            QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                           &m_manager, QDBusConnection::ExportAllSlots));
            QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        }
        const QDBusConnection client =
            bus == QLatin1String("none")
                ? QDBusConnection(QStringLiteral("absent"))
                : QDBusConnection::connectToBus(m_address, QStringLiteral("client"));
        QList<QUrl> opened;
        FileManagerReveal reveal(
            [&](const QUrl &url) {
                opened.append(url);
                return true;
            },
            client);

        reveal.reveal(QStringLiteral("/home/op/Downloads/varnello 2.tar.gz"));
        if (askedManager) {
            QTRY_COMPARE(m_manager.shown.size(), 1);
            QCOMPARE(m_manager.shown[0],
                     QStringList{QStringLiteral("file:///home/op/Downloads/varnello%202.tar.gz")});
            QTest::qWait(100);
            QVERIFY(opened.isEmpty());
        } else {
            QTRY_COMPARE(opened.size(), 1);
            QCOMPARE(opened[0], QUrl::fromLocalFile(QStringLiteral("/home/op/Downloads")));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fm"));
    }
};

QTEST_GUILESS_MAIN(TestFileManagerReveal)
#include "tst_FileManagerReveal.moc"
