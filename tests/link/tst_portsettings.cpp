// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "link/core/linesettings.h"
#include "link/core/portmap.h"

#include <QSignalSpy>
#include <QTest>

using namespace varnix::link;

class PortSettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void devicesAreNumberedUsbFirst_data();
    void devicesAreNumberedUsbFirst();
    void numbersBeyondTheDevicesHaveNone();
    void lineSettings_data();
    void lineSettings();
};

void PortSettingsTest::devicesAreNumberedUsbFirst_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("numbered");
    QTest::newRow("usb before on-board")
        << QStringList{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS1"}
        << QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"};
    QTest::newRow("numbers compare as numbers")
        << QStringList{"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyUSB1"}
        << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10"};
    QTest::newRow("modems are usb too")
        << QStringList{"/dev/ttyS4", "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyAMA0"}
        << QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyAMA0", "/dev/ttyS4"};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void PortSettingsTest::devicesAreNumberedUsbFirst()
{
    QFETCH(QStringList, found);
    QFETCH(QStringList, numbered);
    QCOMPARE(orderDevices(found), numbered);
}

void PortSettingsTest::numbersBeyondTheDevicesHaveNone()
{
    PortMap map;
    QSignalSpy changed(&map, &PortMap::changed);
    map.setDevices({"/dev/ttyUSB0", "/dev/ttyS0"});
    QCOMPARE(changed.size(), 1);
    map.setDevices({"/dev/ttyUSB0", "/dev/ttyS0"});
    QCOMPARE(changed.size(), 1);
    QCOMPARE(map.device(1), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(map.device(2), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(map.device(3), QString());
    QCOMPARE(map.device(0), QString());
}

void PortSettingsTest::lineSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("start value") << "19200,n,8,1" << true << 19200 << int(QSerialPort::NoParity) << 8 << 1;
    QTest::newRow("unusual rate") << "56000,n,8,1" << true << 56000 << int(QSerialPort::NoParity) << 8 << 1;
    QTest::newRow("even, 7 bits, 2 stops") << "9600,E,7,2" << true << 9600 << int(QSerialPort::EvenParity) << 7
                                           << 2;
    QTest::newRow("blanks") << " 600 , o , 8 , 1 " << true << 600 << int(QSerialPort::OddParity) << 8 << 1;
    QTest::newRow("three fields") << "9600,n,8" << false << 0 << 0 << 0 << 0;
    QTest::newRow("no rate") << "fast,n,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("unknown parity") << "9600,x,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("nine bits") << "9600,n,9,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0;
}

void PortSettingsTest::lineSettings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto s = LineSettings::parse(text);
    QCOMPARE(s.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QCOMPARE(s->baudRate, baud);
    QCOMPARE(int(s->parity), parity);
    QCOMPARE(int(s->dataBits), dataBits);
    QCOMPARE(int(s->stopBits), stopBits);
}

VARNIX_TEST_MAIN(PortSettingsTest)
#include "tst_portsettings.moc"
