// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/networkaddress.h"

#include "protocol/frames.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace varnix::link {

namespace {
// A host name has at most this many characters (RFC 1035), a trailing dot
// aside.
constexpr qsizetype kLongestHostName = 254;
} // namespace

QString NetworkAddress::text() const
{
    const QString scheme = kind == Kind::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp");
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("%1://%2:%3").arg(scheme, shownHost).arg(port);
}

bool isNetworkAddress(const QString& name)
{
    return name.contains(QLatin1String("://"));
}

std::variant<NetworkAddress, AddressError> parseNetworkAddress(const QString& text)
{
    const auto refuse = [&](const QString& why) {
        return AddressError{QStringLiteral("%1 is not a network address (%2); use %3")
                                .arg(protocol::quoted(text), why, QLatin1String(kAddressForms))};
    };
    NetworkAddress address;
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    const QString scheme = text.left(schemeEnd).toLower();
    if (schemeEnd < 0 || (scheme != u"rfc2217" && scheme != u"tcp"))
        return refuse(QStringLiteral("the scheme is not rfc2217 or tcp"));
    address.kind = scheme == u"rfc2217" ? NetworkAddress::Kind::Rfc2217 : NetworkAddress::Kind::Tcp;

    const QString rest = text.mid(schemeEnd + 3);
    QString portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0 || rest.mid(close + 1, 1) != u":")
            return refuse(QStringLiteral("an IPv6 address in brackets needs :PORT after them"));
        address.host = rest.mid(1, close - 1);
        QHostAddress ip;
        if (!ip.setAddress(address.host) || ip.protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(QStringLiteral("%1 is not an IPv6 address").arg(protocol::quoted(address.host)));
        portText = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return refuse(QStringLiteral("the port is missing"));
        address.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (address.host.contains(u':'))
            return refuse(QStringLiteral("an IPv6 address goes in brackets"));
        // A host name's labels (RFC 1123), which covers IPv4 addresses too.
        static const QRegularExpression hostName(QStringLiteral(
            "^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
        if (address.host.isEmpty())
            return refuse(QStringLiteral("the host is missing"));
        if (address.host.size() > kLongestHostName || !hostName.match(address.host).hasMatch())
            return refuse(QStringLiteral("%1 is not a host name").arg(protocol::quoted(address.host)));
    }
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!digits.match(portText).hasMatch() || !ok || port < 1 || port > 65535)
        return refuse(QStringLiteral("the port must be a number from 1 to 65535"));
    address.port = quint16(port);
    return address;
}

} // namespace varnix::link
