#include "HostHardware.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;

class TestHostHardware : public QObject {
    Q_OBJECT

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

private Q_SLOTS:
    void architecture_isArm64OnlyForArmMachines_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("arch");
        QTest::newRow("aarch64") << "aarch64"
                                 << "arm64";
        QTest::newRow("arm64") << "arm64"
                               << "arm64";
        QTest::newRow("x86_64") << "x86_64"
                                << "x86_64";
        QTest::newRow("32-bit arm") << "armv7l"
                                    << "x86_64";
        QTest::newRow("unknown") << ""
                                 << "x86_64";
    }
    void architecture_isArm64OnlyForArmMachines()
    {
        QFETCH(QString, machine);
        QFETCH(QString, arch);
        QCOMPARE(HostHardware::architecture(machine), arch);
    }

    void model_readsDmiThenDeviceTree_data()
    {
        QTest::addColumn<QByteArray>("dmi");        // null: no file
        QTest::addColumn<QByteArray>("deviceTree"); // null: no file
        QTest::addColumn<QString>("model");
        QTest::newRow("DMI name") << QByteArray("ThinkPad X1 Carbon Gen 9\n") << QByteArray()
                                  << "ThinkPad X1 Carbon Gen 9";
        QTest::newRow("DMI before device tree")
            << QByteArray("OptiPlex 7090\n") << QByteArray("Raspberry Pi 4\0", 15)
            << "OptiPlex 7090";
        QTest::newRow("device tree ends with NUL")
            << QByteArray() << QByteArray("Raspberry Pi 4 Model B Rev 1.4\0junk", 35)
            << "Raspberry Pi 4 Model B Rev 1.4";
        QTest::newRow("blank DMI falls through")
            << QByteArray(" \n") << QByteArray("Pi\0", 3) << "Pi";
        QTest::newRow("control characters dropped")
            << QByteArray("Box\x1b[31m\tOne\r\n") << QByteArray() << "Box [31m One";
        QTest::newRow("capped") << QByteArray(200, 'M') << QByteArray() << QString(64, u'M');
        QTest::newRow("nothing readable") << QByteArray() << QByteArray() << "unknown";
    }
    void model_readsDmiThenDeviceTree()
    {
        QFETCH(QByteArray, dmi);
        QFETCH(QByteArray, deviceTree);
        QFETCH(QString, model);
        QTemporaryDir root;
        if (!dmi.isNull())
            writeFile(root.filePath(QStringLiteral("class/dmi/id/product_name")), dmi);
        if (!deviceTree.isNull())
            writeFile(root.filePath(QStringLiteral("firmware/devicetree/base/model")), deviceTree);
        // Files beside them that must never be read.
        writeFile(root.filePath(QStringLiteral("class/dmi/id/product_serial")), "SERIAL123");
        writeFile(root.filePath(QStringLiteral("class/dmi/id/product_uuid")), "UUID456");
        QCOMPARE(HostHardware::model(root.path()), model);
    }
};

QTEST_GUILESS_MAIN(TestHostHardware)
#include "tst_HostHardware.moc"
