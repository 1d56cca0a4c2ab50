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
    // What a person calls that device: its kernel name, or "virtual board".
    QString label(int number) const;
    const QStringList& devices() const { return m_devices; }
    // Looks again at the devices present (the program's map; a fixed map
    // keeps what it was given).
    virtual void refresh() {}

    // The devices in port number order; virtualBoard names the one among
    // them that is a virtual board, if any.
    void setDevices(const QStringList& devices, const QString& virtualBoard = QString());

signals:
    void changed();

private:
    QStringList m_devices;
    QString m_virtualBoard;
};

// Orders device paths the way a person would number them: USB adapters and
// USB modems first (ttyUSB*, ttyACM*), then every other port, each group by
// kernel name with numbers compared as numbers (ttyUSB2 before ttyUSB10).
QStringList orderDevices(QStringList paths);

// The serial devices of this machine, found by Qt and watched in /dev, and
// a running virtual board, found through its link: USB adapters first, then
// the virtual board, then the on-board ports.
class SystemPortMap : public PortMap
{
    Q_OBJECT
public:
    explicit SystemPortMap(QObject* parent = nullptr);
    // Looks for the virtual board's link at the given place instead.
    explicit SystemPortMap(const QString& boardLink, QObject* parent = nullptr);
    void refresh() override;

private:
    QFileSystemWatcher* m_watcher;
    QString m_boardLink;
};

} // namespace varnix::link
