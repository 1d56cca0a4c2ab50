// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

namespace varnix::link {

// The characters as the bytes that carry them, one each; none when one is
// beyond a byte.
inline std::optional<QByteArray> latin1Bytes(QStringView characters)
{
    QByteArray bytes(characters.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < characters.size(); ++i) {
        if (characters[i].unicode() > 0xff)
            return std::nullopt;
        bytes[i] = char(characters[i].unicode());
    }
    return bytes;
}

// The serial port as the program uses it: these operations and no others.
// Characters are single bytes (Latin-1): a byte's value is its character code.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    virtual bool isOpen() const = 0;
    // False when the port cannot be opened with its number and settings.
    // A port that connects over the network runs the event loop (all but
    // the user's input) until it knows.
    virtual bool open() = 0;
    // Begins opening without holding up the event loop; openFinished()
    // tells how it went, from inside this call or later.
    virtual void beginOpen() { emit openFinished(open()); }
    // An open begun has not finished yet.
    virtual bool opening() const { return false; }
    // Ends an open under way at once: it fails (openFinished(false)), its
    // failureHint() saying it was cut short.
    virtual void cancelOpen() {}
    // False when closing fails; the port counts as closed afterwards.
    virtual bool close() = 0;
    // For a thread that serves many ports, where close() may not wait for
    // the far end: tells it that nothing more comes, and whether there is
    // an end to wait for (a network server, to close its side). Then
    // farEndClosed() says, never waiting, whether it has, and close() no
    // longer waits for it.
    virtual bool beginClose() { return false; }
    virtual bool farEndClosed() { return true; }
    virtual void setPortNumber(int number) = 0;
    virtual int portNumber() const = 0;
    // A line settings text such as "19200,n,8,1", applied at the next open.
    virtual void setSettings(const QString& settings) = 0;
    // Hands one character to the device before returning, waiting while the
    // device's output buffer is full; false when the character has no
    // single-byte form, the device refuses it or cancelWrite() ended the wait.
    virtual bool write(QChar character) = 0;
    // Ends a write() that waits for room. Its character may still go out
    // later, behind what the device already holds.
    virtual void cancelWrite() {}
    // Hands characters (the run between two pauses) to the device if it has
    // room now, never waiting: for a thread that serves many ports, where a
    // wait for one would hold up the others. Written: all of them, in one
    // write, though some may still go out later, behind one another. Full:
    // none; try again later.
    enum class WriteNow { Written, Full, Failed };
    virtual WriteNow writeNow(QStringView characters)
    {
        for (const QChar c : characters) {
            if (!write(c))
                return WriteNow::Failed;
        }
        return WriteNow::Written;
    }
    // Everything waiting, taken out of the input buffer; empty when nothing is.
    // What arrived before the device was lost can still be read once it is
    // closed, until the port is opened or closed again.
    virtual QString readAll() = 0;
    // Why the last open or write failed, for the user (may be empty): what
    // the window adds to its own message.
    virtual QString failureHint() const { return {}; }
    // Why the last open failed, as a sentence that names the device or
    // address, for a report that has nothing else to say it with.
    virtual QString failureReason() const { return failureHint(); }
    // The device the port has open ("/dev/ttyUSB0"), empty while closed or
    // when the port has no device to name.
    virtual QString device() const { return {}; }
    // The line settings text given last.
    virtual QString settings() const { return {}; }
    // Finds out, without holding up the event loop, whether the device the
    // port would open is there to be opened now; answered by probed(), at
    // once or later. A device found by listing it is there when listed.
    virtual void probe() { emit probed(true); }

signals:
    // The device stopped working while open (unplugged, I/O error, the
    // server gone). Emitted once, as soon as the port finds out, even from
    // inside write(): from then on the port counts as closed, so that nothing
    // sees it closed before hearing why. The device itself is let go from the
    // event loop. The reason is a short phrase for the user, or empty when
    // it is not known.
    void lost(const QString& reason);
    // Characters arrived and wait for readAll() (a port may leave this out;
    // then only polling finds them).
    void readyRead();
    // The answer to probe(): false with failureHint() saying why.
    void probed(bool present);
    // The answer to beginOpen() or to a cancelled open.
    void openFinished(bool ok);
};

} // namespace varnix::link
