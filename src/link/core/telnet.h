// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <array>

namespace varnix::link {

// The client's side of a Telnet connection to a serial server (RFC 854) with
// the COM Port Control option (RFC 2217): bytes from the server go in, in
// pieces of any size; the data among them, the answers to give back and the
// server's COM port messages come out. Nothing here touches a socket.
class TelnetParser
{
public:
    enum : quint8 {
        kSe = 240, kNop = 241, kSb = 250, kWill = 251, kWont = 252, kDo = 253, kDont = 254, kIac = 255,
    };
    enum : quint8 { kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44 };
    // COM Port Control commands from the client; the server answers each
    // with the same command plus kServerOffset and the value in force.
    enum : quint8 { kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4 };
    static constexpr quint8 kServerOffset = 100;

    // A COM Port Control message from the server: its command and value.
    struct ComPortMessage {
        quint8 command = 0;
        QByteArray value;
        bool operator==(const ComPortMessage&) const = default;
    };
    struct Output {
        // What the serial device sent, Telnet taken out.
        QByteArray data;
        // Answers to the server's negotiation, to send back as they are.
        QByteArray reply;
        QList<ComPortMessage> comPort;
    };

    // What the client asks for first: binary both ways and no go-aheads, and,
    // when asked for, the COM Port Control option.
    QByteArray start(bool comPort);
    Output feed(QByteArrayView bytes);

    // Data for the server: the byte 255 doubled, and, while the client is not
    // sending in binary, a carriage return followed by a NUL.
    QByteArray encode(QByteArrayView data) const;
    // A COM Port Control request with its value, escaped.
    static QByteArray comPortRequest(quint8 command, QByteArrayView value);

    // Whether the server agreed to, or refused, the COM Port Control option.
    bool comPortAgreed() const { return m_us[kComPort]; }
    bool comPortRefused() const { return m_comPortRefused; }

    // A subnegotiation longer than this is cut; servers send a few bytes.
    static constexpr qsizetype kLongestSubnegotiation = 64;

private:
    enum class State { Data, Iac, Will, Wont, Do, Dont, Sb, SbOption, SbIac };
    void command(quint8 verb, quint8 option, Output& out);
    static bool weMay(quint8 option);
    static bool theyMay(quint8 option);

    State m_state = State::Data;
    // Options in force on our side (WILL) and the server's (DO), and those
    // asked for and not yet answered, so that an answer is not answered.
    std::array<bool, 256> m_us{};
    std::array<bool, 256> m_them{};
    std::array<bool, 256> m_usAsked{};
    std::array<bool, 256> m_themAsked{};
    bool m_comPortRefused = false;
    bool m_afterCr = false;
    quint8 m_sbOption = 0;
    QByteArray m_sb;
};

} // namespace varnix::link
