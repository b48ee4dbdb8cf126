#include "WindowManagerClose.h"

#include <QSignalSpy>
#include <QtTest>

#include <array>
#include <cstring>

using namespace varnello;

class TestWindowManagerClose : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Only the window manager's WM_DELETE_WINDOW for the watched window is a close, and Qt still
    // gets every event. An X event as the server sends it: its code, the format, the sequence
    // number, then the window, the message type and the data.
    void onlyTheDeleteRequestForTheWindowIsAClose_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<quint32>>("words"); // window, message type, protocol
        QTest::addColumn<bool>("close");
        QTest::newRow("WM_DELETE_WINDOW") << 33 << QList<quint32>{0x400006, 305, 306} << true;
        // As window managers send it: a ClientMessage (33) from another client carries the X
        // server's sent-event bit (0x80).
        QTest::newRow("WM_DELETE_WINDOW sent by the window manager")
            << 161 << QList<quint32>{0x400006, 305, 306} << true;
        QTest::newRow("a ping") << 33 << QList<quint32>{0x400006, 305, 400} << false;
        QTest::newRow("another window") << 33 << QList<quint32>{0x400007, 305, 306} << false;
        QTest::newRow("a key press") << 2 << QList<quint32>{0x400006, 305, 306} << false;
    }

    void onlyTheDeleteRequestForTheWindowIsAClose()
    {
        QFETCH(int, code);
        QFETCH(QList<quint32>, words);
        QFETCH(bool, close);
        WindowManagerClose watcher([] { return quintptr(0x400006); }, {{305, 306}});
        QSignalSpy closes(&watcher, &WindowManagerClose::closeRequested);
        std::array<char, 32> event{char(code), 32};
        std::memcpy(event.data() + 4, words.constData(), 3 * sizeof(quint32));
        QVERIFY(!watcher.nativeEventFilter("xcb_generic_event_t", event.data(), nullptr));
        QCOMPARE(closes.size(), close ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestWindowManagerClose)
#include "tst_WindowManagerClose.moc"
