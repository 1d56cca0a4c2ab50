// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcode/core/emitters.h"

#include <QFile>
#include <QRegularExpression>

namespace varnix::hostcode {

QString runtime(const QString& file, const QList<std::pair<QString, QString>>& values)
{
    // Built into the program (src/hostcode/runtime): there is always one.
    QFile resource(QStringLiteral(":/hostcode/runtime/") + file);
    const bool opened = resource.open(QIODevice::ReadOnly);
    Q_ASSERT(opened);
    Q_UNUSED(opened);
    QString text = QString::fromUtf8(resource.readAll());
    // The file's own comment, up to its first empty line, is the repository's.
    text.remove(0, text.indexOf(QStringLiteral("\n\n")) + 2);
    for (const auto& [name, value] : values) {
        // "#define NAME 2000" in C, "NAME = 2" in Python; a suffix such as
        // UL stays.
        const QRegularExpression defined(QStringLiteral("^(#define %1 |%1 = )[0-9.]+").arg(name),
                                         QRegularExpression::MultilineOption);
        text.replace(defined, QStringLiteral("\\1") + value);
    }
    return text;
}

} // namespace varnix::hostcode
