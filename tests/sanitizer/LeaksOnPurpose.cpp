// Loses one block in each kind of callback the program's code runs in (a timer, a socket's signal,
// a D-Bus call, GLib's main loop under Qt's, a widget's paintEvent, a button's slot, a menu or
// toolbar action's slot) and one in a Qt Test function, each of a size nothing else allocates, so
// the suite can see that the sanitizer build reports every one: a suppression naming a library
// that sits in those stacks would hide them. The sizes are also in CMakeLists.txt.

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <dlfcn.h>

namespace {

constexpr std::size_t timerBlockSize = 4099;
constexpr std::size_t socketBlockSize = 4127;
constexpr std::size_t dbusBlockSize = 4153;
constexpr std::size_t glibBlockSize = 4139;
constexpr std::size_t testFunctionBlockSize = 4111;
constexpr std::size_t paintEventBlockSize = 4157;
constexpr std::size_t buttonSlotBlockSize = 4129;
constexpr std::size_t actionSlotBlockSize = 4171;

// The last pointer to each block goes through here and is overwritten, so no copy is left for the
// leak scan to find and the compiler cannot drop the allocation.
void *volatile lastBlock = nullptr;

void loseBlock(std::size_t size)
{
    lastBlock = new char[size];
    lastBlock = nullptr;
}

// Qt Widgets calls its paintEvent; `firstPaint` runs in the first.
class PaintedWindow final : public QWidget {
public:
    std::function<void()> firstPaint;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (firstPaint)
            std::exchange(firstPaint, nullptr)();
    }
};

// Called back on the event loop, one block each; ends the loop after the last (or after a while,
// so that a callback that never comes shows as a block missing from the report, not a hang).
class EventLoopLeaks final : public QObject {
    Q_OBJECT

public:
    EventLoopLeaks()
    {
        // Not zero: that would post an event rather than start a timer.
        QTimer::singleShot(std::chrono::milliseconds(1), this, [this] { lost(timerBlockSize); });

        m_tcpServer.listen(QHostAddress::LocalHost);
        connect(&m_tcpServer, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *peer = m_tcpServer.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this] { lost(socketBlockSize); });
        });
        connect(&m_tcpClient, &QTcpSocket::connected, this, [this] { m_tcpClient.write("x"); });
        m_tcpClient.connectToHost(QHostAddress::LocalHost, m_tcpServer.serverPort());

        connect(&m_dbusServer, &QDBusServer::newConnection, this, [this](QDBusConnection peer) {
            peer.registerObject(QStringLiteral("/leaks"), this, QDBusConnection::ExportAllSlots);
            m_dbusClient->call(QDBusMessage::createMethodCall({}, QStringLiteral("/leaks"), {},
                                                              QStringLiteral("loseOverDBus")),
                               QDBus::NoBlock);
        });
        m_dbusClient.emplace(
            QDBusConnection::connectToPeer(m_dbusServer.address(), QStringLiteral("leaks")));

        // Run by GLib's main loop inside Qt's; Qt Core brings GLib in, so no headers are needed.
        using Callback = int (*)(void *);
        if (auto idleAdd =
                reinterpret_cast<unsigned (*)(Callback, void *)>(dlsym(RTLD_DEFAULT, "g_idle_add")))
            idleAdd(
                [](void *self) {
                    static_cast<EventLoopLeaks *>(self)->lost(glibBlockSize);
                    return 0; // G_SOURCE_REMOVE
                },
                this);

        m_window.firstPaint = [this] { lost(paintEventBlockSize); };
        // A push button's clicked signal is Qt Widgets'; an action's triggered signal, which every
        // menu item and toolbar button sends, is Qt GUI's.
        auto *button = new QPushButton(QStringLiteral("Lose"), &m_window);
        connect(button, &QPushButton::clicked, this, [this] { lost(buttonSlotBlockSize); });
        auto *toolButton = new QToolButton(&m_window);
        toolButton->setDefaultAction(new QAction(QStringLiteral("Lose"), toolButton));
        connect(toolButton->defaultAction(), &QAction::triggered, this,
                [this] { lost(actionSlotBlockSize); });
        m_window.show();
        QTimer::singleShot(std::chrono::milliseconds(1), this, [button, toolButton] {
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::mouseClick(toolButton, Qt::LeftButton);
        });

        QTimer::singleShot(std::chrono::seconds(20), this, &QCoreApplication::quit);
    }
    ~EventLoopLeaks() override
    {
        if (m_dbusClient)
            QDBusConnection::disconnectFromPeer(m_dbusClient->name());
    }

public Q_SLOTS:
    void loseOverDBus() { lost(dbusBlockSize); }

private:
    void lost(std::size_t size)
    {
        loseBlock(size);
        if (--m_pending == 0)
            QCoreApplication::quit();
    }

    int m_pending = 7;
    QTcpServer m_tcpServer;
    QTcpSocket m_tcpClient;
    // The runtime folder's path is short enough for the socket's address.
    QDBusServer m_dbusServer{QStringLiteral("unix:tmpdir=") +
                             QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)};
    std::optional<QDBusConnection> m_dbusClient;
    PaintedWindow m_window;
};

} // namespace

class LeaksOnPurpose : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void losesBlock() { loseBlock(testFunctionBlockSize); }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    {
        EventLoopLeaks leaks;
        QCoreApplication::exec();
    }
    LeaksOnPurpose test;
    return QTest::qExec(&test, argc, argv);
}

#include "LeaksOnPurpose.moc"
