// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/core/recovery.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>

namespace varnix::editor {

namespace {

constexpr char kSuffix[] = ".vnxrecovery";
constexpr char kMagic[] = "varnix screen recovery";
constexpr quint32 kFormat = 1;

QString lockPath(const QString& copy)
{
    return copy + QStringLiteral(".lock");
}

} // namespace

Recovery::Recovery(const QString& folder) : m_folder(folder) {}

Recovery::~Recovery() = default;

QString Recovery::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/recovery");
}

bool Recovery::keep(const QByteArray& text, const QString& file, QString* why)
{
    if (m_path.isEmpty()) {
        if (!QDir().mkpath(m_folder)) {
            if (why)
                *why = QStringLiteral("cannot make the folder %1").arg(m_folder);
            return false;
        }
        const QString path = QDir(m_folder).filePath(
            QStringLiteral("screen-%1%2").arg(QUuid::createUuid().toString(QUuid::WithoutBraces), QLatin1String(kSuffix)));
        auto lock = std::make_unique<QLockFile>(lockPath(path));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            if (why)
                *why = QStringLiteral("cannot lock %1").arg(lockPath(path));
            return false;
        }
        m_lock = std::move(lock);
        m_path = path;
    }
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly)) {
        if (why)
            *why = out.errorString();
        return false;
    }
    QDataStream stream(&out);
    stream << QByteArray(kMagic) << kFormat << file << QDateTime::currentDateTimeUtc() << text;
    if (stream.status() != QDataStream::Ok || !out.commit()) {
        if (why)
            *why = out.errorString();
        return false;
    }
    return true;
}

void Recovery::drop()
{
    if (m_path.isEmpty())
        return;
    QFile::remove(m_path);
    m_lock.reset();
    m_path.clear();
}

QList<Recovery::Left> Recovery::left(const QString& folder)
{
    QList<Left> found;
    const QDir dir(folder);
    const QStringList copies =
        dir.entryList({QStringLiteral("*") + QLatin1String(kSuffix)}, QDir::Files, QDir::Name);
    for (const QString& name : copies) {
        const QString path = dir.filePath(name);
        // A lock still held is an editor still running; a lock left by one
        // that is gone is stale and taken over.
        QLockFile lock(lockPath(path));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            continue;
        QDataStream stream(&in);
        QByteArray magic;
        quint32 format = 0;
        Left copy;
        copy.copy = path;
        stream >> magic >> format;
        if (magic != kMagic || format != kFormat)
            continue;
        stream >> copy.file >> copy.when >> copy.text;
        if (stream.status() == QDataStream::Ok)
            found << copy;
    }
    std::sort(found.begin(), found.end(), [](const Left& a, const Left& b) { return a.when > b.when; });
    return found;
}

void Recovery::discard(const Left& copy)
{
    QFile::remove(copy.copy);
    QFile::remove(lockPath(copy.copy));
}

} // namespace varnix::editor
