// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <variant>

namespace varnix::link {

// A board behind a serial server: "rfc2217://HOST:PORT", where the line
// settings go to the server, or "tcp://HOST:PORT", where the server's own
// settings apply. HOST is a name, an IPv4 address or a bracketed IPv6 address.
struct NetworkAddress {
    enum class Kind { Rfc2217, Tcp };
    Kind kind = Kind::Tcp;
    // Without the brackets of an IPv6 address.
    QString host;
    quint16 port = 0;

    // The address as it is written.
    QString text() const;
};

// Why a text is not an address, in one line that shows the accepted forms.
struct AddressError {
    QString text;
};

// The accepted forms, for messages and help.
inline constexpr char kAddressForms[] = "rfc2217://HOST:PORT or tcp://HOST:PORT";

std::variant<NetworkAddress, AddressError> parseNetworkAddress(const QString& text);

// Whether a port's name is meant as a network address rather than a device:
// it names a scheme ("...://"). A wrong one is still an address, refused by
// parseNetworkAddress with the forms that would do.
bool isNetworkAddress(const QString& name);

} // namespace varnix::link
