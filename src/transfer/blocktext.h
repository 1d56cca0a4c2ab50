// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace varnix::transfer {

// What a read takes over from the receive window: the board ends a reply
// with an eight-character trailer whose fourth- and third-last characters
// are "y:" (its "Ready:" prompt and a line break), and that trailer is cut.
// Any other text, and one too short to hold the trailer, is taken whole.
QString capturedReply(const QString& received);

// The text read as one whole number: blanks around it allowed, nothing for a
// fraction, a text that is not one number, or a number beyond 2^53, where
// whole numbers stop being exact.
std::optional<std::int64_t> wholeNumber(QStringView text);

} // namespace varnix::transfer
