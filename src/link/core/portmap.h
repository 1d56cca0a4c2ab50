#pragma once

#include <QObject>
#include <QStringList>

class QFileSystemWatcher;

namespace varnix::link {

// Which device each port number 1 to 4 opens.
class PortMap : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The device path for a port number, empty when there is none.
    QString device(int number) const;
    const QStringList& devices() const { return m_devices; }
    // Looks again at the devices present (the program's map; a fixed map
    // keeps what it was given).
    virtual void refresh() {}

    void setDevices(const QStringList& devices);

signals:
    void changed();

private:
    QStringList m_devices;
};

// Orders device paths the way a person would number them: USB adapters and
// USB modems first (ttyUSB*, ttyACM*), then every other port, each group by
// kernel name with numbers compared as numbers (ttyUSB2 before ttyUSB10).
QStringList orderDevices(QStringList paths);

// The serial devices of this machine, found by Qt and watched in /dev.
class SystemPortMap : public PortMap
{
    Q_OBJECT
public:
    explicit SystemPortMap(QObject* parent = nullptr);
    void refresh() override;

private:
    QFileSystemWatcher* m_watcher;
};

} // namespace varnix::link
