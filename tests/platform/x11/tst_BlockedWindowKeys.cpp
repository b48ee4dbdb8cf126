#include "BlockedWindowKeys.h"

#include <QSignalSpy>
#include <QtTest>

#include <array>
#include <cstring>

using namespace varnello;

class TestBlockedWindowKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A key pressed in a window behind a sheet is reported as the letter its keycode carries
    // first, with the modifiers that name commands; Qt is left to drop every one. A KeyPress as
    // the server sends it: its code, the keycode, then at 12 bytes the window, at 28 the modifiers.
    void lettersPressedBehindASheetAreReported_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("keycode");
        QTest::addColumn<quint32>("window");
        QTest::addColumn<int>("state");    // X's modifier bits: Shift 1, Lock 2, Control 4, Mod1 8
        QTest::addColumn<int>("reported"); // as QKeyCombination::toCombined(); 0: nothing
        const int none = 0;
        QTest::newRow("Ctrl+Q") << 2 << 24 << 0x400006u << 4 << (Qt::CTRL | Qt::Key_Q).toCombined();
        QTest::newRow("Ctrl+Q with Caps Lock and Num Lock on")
            << 2 << 24 << 0x400006u << (4 | 2 | 16) << (Qt::CTRL | Qt::Key_Q).toCombined();
        QTest::newRow("Ctrl+Q sent by another client (xdotool)")
            << 130 << 24 << 0x400006u << 4 << (Qt::CTRL | Qt::Key_Q).toCombined();
        QTest::newRow("q") << 2 << 24 << 0x400006u << 0 << int(Qt::Key_Q);
        QTest::newRow("Shift+Q") << 2 << 24 << 0x400006u << 1
                                 << (Qt::SHIFT | Qt::Key_Q).toCombined();
        QTest::newRow("Ctrl+Alt+W")
            << 2 << 25 << 0x400006u << (4 | 8) << (Qt::CTRL | Qt::ALT | Qt::Key_W).toCombined();
        QTest::newRow("Ctrl+1, no letter") << 2 << 10 << 0x400006u << 4 << none;
        QTest::newRow("a keycode past the map") << 2 << 200 << 0x400006u << 4 << none;
        QTest::newRow("a keycode before it") << 2 << 7 << 0x400006u << 4 << none;
        QTest::newRow("Ctrl+Q in a window nothing blocks") << 2 << 24 << 0x400007u << 4 << none;
        QTest::newRow("Ctrl+Q released") << 3 << 24 << 0x400006u << 4 << none;
    }

    void lettersPressedBehindASheetAreReported()
    {
        QFETCH(int, code);
        QFETCH(int, keycode);
        QFETCH(quint32, window);
        QFETCH(int, state);
        QFETCH(int, reported);
        const int none = 0;
        // Keycodes 8 to 25, two keysyms each: "1" at 10, "Q" at 24 (as "q", "Q"), "W" at 25.
        BlockedWindowKeys::KeyboardMap map{8, 2, QList<quint32>(36, 0)};
        map.keysyms[(10 - 8) * 2] = '1';
        map.keysyms[(24 - 8) * 2] = 'q';
        map.keysyms[(24 - 8) * 2 + 1] = 'Q';
        map.keysyms[(25 - 8) * 2] = 'W';
        BlockedWindowKeys keys([](quintptr id) { return id == 0x400006; }, map);
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
