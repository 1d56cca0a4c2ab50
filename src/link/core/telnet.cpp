// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/telnet.h"

#include <initializer_list>

namespace varnix::link {

namespace {
QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray out;
    for (const quint8 v : values)
        out += char(v);
    return out;
}

QByteArray triple(quint8 verb, quint8 option)
{
    return bytes({TelnetParser::kIac, verb, option});
}
} // namespace

bool TelnetParser::weMay(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool TelnetParser::theyMay(quint8 option)
{
    // A server that offers to echo only tells a terminal to leave echoing to
    // it; ser2net offers it and echoes nothing.
    return option == kBinary || option == kSuppressGoAhead || option == kEcho;
}

QByteArray TelnetParser::start(bool comPort)
{
    QByteArray out;
    for (const quint8 option : {kBinary, kSuppressGoAhead}) {
        m_usAsked[option] = m_themAsked[option] = true;
        out += triple(kWill, option) + triple(kDo, option);
    }
    if (comPort) {
        m_usAsked[kComPort] = true;
        out += triple(kWill, kComPort);
    }
    return out;
}

void TelnetParser::command(quint8 verb, quint8 option, Output& out)
{
    // Either side's options follow the same rules: an offer or request is
    // agreed to once, or refused when not allowed; a refusal is acknowledged
    // once; an answer to our own asking is not answered again.
    const auto agree = [&](bool may, std::array<bool, 256>& state, std::array<bool, 256>& asked, quint8 yes,
                           quint8 no) {
        if (!may) {
            out.reply += triple(no, option);
        } else if (!state[option]) {
            state[option] = true;
            if (!asked[option])
                out.reply += triple(yes, option);
        }
        asked[option] = false;
    };
    const auto refuse = [&](std::array<bool, 256>& state, std::array<bool, 256>& asked, quint8 no) {
        if (state[option] && !asked[option])
            out.reply += triple(no, option);
        state[option] = asked[option] = false;
    };
    switch (verb) {
    case kDo:
        agree(weMay(option), m_us, m_usAsked, kWill, kWont);
        break;
    case kDont:
        if (option == kComPort)
            m_comPortRefused = true;
        refuse(m_us, m_usAsked, kWont);
        break;
    case kWill:
        agree(theyMay(option), m_them, m_themAsked, kDo, kDont);
        break;
    case kWont:
        refuse(m_them, m_themAsked, kDont);
        break;
    default:
        break;
    }
}

TelnetParser::Output TelnetParser::feed(QByteArrayView bytes)
{
    Output out;
    for (const char c : bytes) {
        const auto byte = quint8(c);
        switch (m_state) {
        case State::Data:
            if (byte == kIac) {
                m_state = State::Iac;
                break;
            }
            // A sender not in binary follows a bare carriage return with NUL.
            if (!(m_afterCr && byte == 0 && !m_them[kBinary]))
                out.data += c;
            m_afterCr = byte == '\r';
            break;
        case State::Iac:
            m_state = State::Data;
            switch (byte) {
            case kIac:
                out.data += c;
                m_afterCr = false;
                break;
            case kWill:
                m_state = State::Will;
                break;
            case kWont:
                m_state = State::Wont;
                break;
            case kDo:
                m_state = State::Do;
                break;
            case kDont:
                m_state = State::Dont;
                break;
            case kSb:
                m_state = State::SbOption;
                break;
            default:
                // NOP, go-ahead, break and the like carry nothing for the board.
                break;
            }
            break;
        case State::Will:
        case State::Wont:
        case State::Do:
        case State::Dont: {
            const quint8 verb = m_state == State::Will ? kWill
                : m_state == State::Wont               ? kWont
                : m_state == State::Do                 ? kDo
                                                       : kDont;
            m_state = State::Data;
            command(verb, byte, out);
            break;
        }
        case State::SbOption:
            m_sbOption = byte;
            m_sb.clear();
            m_state = State::Sb;
            break;
        case State::Sb:
            if (byte == kIac)
                m_state = State::SbIac;
            else if (m_sb.size() < kLongestSubnegotiation)
                m_sb += c;
            break;
        case State::SbIac:
            if (byte == kIac) {
                if (m_sb.size() < kLongestSubnegotiation)
                    m_sb += c;
                m_state = State::Sb;
            } else if (byte == kSe) {
                if (m_sbOption == kComPort && !m_sb.isEmpty())
                    out.comPort.append({quint8(m_sb[0]), m_sb.mid(1)});
                m_state = State::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished; the
                // command is taken as one.
                m_state = State::Iac;
                const char again = c;
                const Output rest = feed(QByteArrayView(&again, 1));
                out.data += rest.data;
                out.reply += rest.reply;
                out.comPort += rest.comPort;
            }
            break;
        }
    }
    return out;
}

QByteArray TelnetParser::encode(QByteArrayView data) const
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (quint8(c) == kIac)
            out += c;
        else if (c == '\r' && !m_us[kBinary])
            out += '\0';
    }
    return out;
}

QByteArray TelnetParser::comPortRequest(quint8 command, QByteArrayView value)
{
    QByteArray out = bytes({kIac, kSb, kComPort, command});
    for (const char c : value) {
        out += c;
        if (quint8(c) == kIac)
            out += c;
    }
    return out + bytes({kIac, kSe});
}

} // namespace varnix::link
