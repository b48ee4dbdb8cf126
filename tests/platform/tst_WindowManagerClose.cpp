#include "WindowManagerClose.h"

#include <QSignalSpy>
#include <QtTest>

#include <array>
#include <cstring>

using namespace varnello;

class TestWindowManagerClose : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Only the window manager's WM_DELETE_WINDOW for the watched window is a close; a ping,
    // another message, another window's close or another kind of event is not, and none of them
    // is kept from Qt. An X event as the server sends it: its code (the top bit: sent by a
    // client), the format, the sequence number, then the window, the message type and the data.
    void onlyTheDeleteRequestForTheWindowIsAClose_data()
    {
        QTest::addColumn<QByteArray>("eventType");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<quint32>>("words"); // window, message type, protocol
        QTest::addColumn<bool>("close");
        const QByteArray xcb("xcb_generic_event_t");
        QTest::newRow("WM_DELETE_WINDOW")
            << xcb << 33 << QList<quint32>{0x400006, 305, 306} << true;
        QTest::newRow("sent by a client")
            << xcb << 161 << QList<quint32>{0x400006, 305, 306} << true;
        QTest::newRow("a ping") << xcb << 33 << QList<quint32>{0x400006, 305, 400} << false;
        QTest::newRow("another message")
            << xcb << 33 << QList<quint32>{0x400006, 400, 306} << false;
        QTest::newRow("another window") << xcb << 33 << QList<quint32>{0x400007, 305, 306} << false;
        QTest::newRow("a key press") << xcb << 2 << QList<quint32>{0x400006, 305, 306} << false;
        QTest::newRow("another platform's event") << QByteArray("windows_generic_MSG") << 33
                                                  << QList<quint32>{0x400006, 305, 306} << false;
    }

    void onlyTheDeleteRequestForTheWindowIsAClose()
    {
        QFETCH(QByteArray, eventType);
        QFETCH(int, code);
        QFETCH(QList<quint32>, words);
        QFETCH(bool, close);
        WindowManagerClose watcher([] { return quintptr(0x400006); }, {{305, 306}});
        QSignalSpy closes(&watcher, &WindowManagerClose::closeRequested);
        std::array<char, 32> event{char(code), 32};
        std::memcpy(event.data() + 4, words.constData(), 3 * sizeof(quint32));
        QVERIFY(!watcher.nativeEventFilter(eventType, event.data(), nullptr));
        QCOMPARE(closes.size(), close ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestWindowManagerClose)
#include "tst_WindowManagerClose.moc"
