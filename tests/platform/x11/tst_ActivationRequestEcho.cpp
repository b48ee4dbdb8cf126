#include "ActivationRequestEcho.h"

#include <QtTest>

#include <array>
#include <cstring>

using namespace varnello;

class TestActivationRequestEcho : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Only a request to activate a window (_NET_ACTIVE_WINDOW, here atom 262) is kept from Qt. A
    // ClientMessage as the server hands it on: its code, the format, the sequence number, then
    // the window and the message type.
    void onlyActivationRequestsAreDropped_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("the program's own request, handed back") << 161 << 262u << true;
        QTest::newRow("the same, unsent") << 33 << 262u << true;
        QTest::newRow("the window manager's WM_PROTOCOLS") << 161 << 305u << false;
        QTest::newRow("a key press") << 2 << 262u << false;
    }

    void onlyActivationRequestsAreDropped()
    {
        QFETCH(int, code);
        QFETCH(quint32, type);
        QFETCH(bool, dropped);
        ActivationRequestEcho echo(262u);
        std::array<char, 32> event{char(code), 32};
        const std::array<quint32, 2> words{0x400006, type};
        std::memcpy(event.data() + 4, words.data(), sizeof words);
        QCOMPARE(echo.nativeEventFilter("xcb_generic_event_t", event.data(), nullptr), dropped);
    }
};

QTEST_GUILESS_MAIN(TestActivationRequestEcho)
#include "tst_ActivationRequestEcho.moc"
