#include "BlockedWindowKeys.h"

#include <QSignalSpy>
#include <QtTest>

#include <array>
#include <cstring>

using namespace varnello;

class TestBlockedWindowKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A key pressed in a window behind a sheet is reported as the letter its keycode types
    // unshifted in the layout in use, with the modifiers that name commands; Qt is left to drop
    // every one. A KeyPress as the server sends it: its code, the keycode, then at 12 bytes the
    // window, at 28 the modifiers and, in bits 13-14, the group (the layout) in use.
    void lettersPressedBehindASheetAreReported_data()
    {
        QTest::addColumn<QByteArray>("layouts"); // the keyboard's, by their XKB names
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("keycode"); // Q and A of QWERTY: 24, 38
        QTest::addColumn<quint32>("window");
        QTest::addColumn<int>("state");    // X's modifier bits: Shift 1, Lock 2, Control 4, Mod1 8
        QTest::addColumn<int>("reported"); // as QKeyCombination::toCombined(); 0: nothing
        const int none = 0, second = 1 << 13;
        const int ctrlQ = (Qt::CTRL | Qt::Key_Q).toCombined();
        const int ctrlA = (Qt::CTRL | Qt::Key_A).toCombined();
        const QByteArray us = "us";
        QTest::newRow("Ctrl+Q") << us << 2 << 24 << 0x400006u << 4 << ctrlQ;
        QTest::newRow("Ctrl+Q with Caps Lock and Num Lock on")
            << us << 2 << 24 << 0x400006u << (4 | 2 | 16) << ctrlQ;
        QTest::newRow("Ctrl+Q sent by another client (xdotool)")
            << us << 130 << 24 << 0x400006u << 4 << ctrlQ;
        QTest::newRow("q") << us << 2 << 24 << 0x400006u << 0 << int(Qt::Key_Q);
        QTest::newRow("Shift+Q") << us << 2 << 24 << 0x400006u << 1
                                 << (Qt::SHIFT | Qt::Key_Q).toCombined();
        QTest::newRow("Ctrl+Alt+W") << us << 2 << 25 << 0x400006u << (4 | 8)
                                    << (Qt::CTRL | Qt::ALT | Qt::Key_W).toCombined();
        QTest::newRow("Ctrl+1, no letter") << us << 2 << 10 << 0x400006u << 4 << none;
        QTest::newRow("a keycode past the map") << us << 2 << 255 << 0x400006u << 4 << none;
        QTest::newRow("a keycode before it") << us << 2 << 7 << 0x400006u << 4 << none;
        QTest::newRow("Ctrl+Q in a window nothing blocks")
            << us << 2 << 24 << 0x400007u << 4 << none;
        QTest::newRow("Ctrl+Q released") << us << 3 << 24 << 0x400006u << 4 << none;
        // AZERTY: A where QWERTY has Q, and Q where it has A.
        QTest::newRow("fr, Ctrl+A") << QByteArray("fr") << 2 << 24 << 0x400006u << 4 << ctrlA;
        QTest::newRow("fr, Ctrl+Q") << QByteArray("fr") << 2 << 38 << 0x400006u << 4 << ctrlQ;
        QTest::newRow("us,fr in fr, Ctrl+A")
            << QByteArray("us,fr") << 2 << 24 << 0x400006u << (4 | second) << ctrlA;
        QTest::newRow("us,fr in fr, Ctrl+Q")
            << QByteArray("us,fr") << 2 << 38 << 0x400006u << (4 | second) << ctrlQ;
        QTest::newRow("fr,us in us, Ctrl+Q")
            << QByteArray("fr,us") << 2 << 24 << 0x400006u << (4 | second) << ctrlQ;
        QTest::newRow("fr,us in us, Ctrl+A")
            << QByteArray("fr,us") << 2 << 38 << 0x400006u << (4 | second) << ctrlA;
        QTest::newRow("fr,us in fr, Ctrl+Q")
            << QByteArray("fr,us") << 2 << 38 << 0x400006u << 4 << ctrlQ;
    }

    void lettersPressedBehindASheetAreReported()
    {
        QFETCH(QByteArray, layouts);
        QFETCH(int, code);
        QFETCH(int, keycode);
        QFETCH(quint32, window);
        QFETCH(int, state);
        QFETCH(int, reported);
        const int none = 0;
        BlockedWindowKeys keys([](quintptr id) { return id == 0x400006; }, layouts);
        QSignalSpy pressed(&keys, &BlockedWindowKeys::keyPressed);
        std::array<char, 32> event{char(code), char(keycode)};
        std::memcpy(event.data() + 12, &window, sizeof window);
        const quint16 modifiers = quint16(state);
        std::memcpy(event.data() + 28, &modifiers, sizeof modifiers);
        QVERIFY(!keys.nativeEventFilter("xcb_generic_event_t", event.data(), nullptr));
        QCOMPARE(pressed.size(), reported == none ? 0 : 1);
        if (reported != none)
            QCOMPARE(pressed.at(0).at(0).value<QKeyCombination>().toCombined(), reported);
    }
};

QTEST_GUILESS_MAIN(TestBlockedWindowKeys)
#include "tst_BlockedWindowKeys.moc"
