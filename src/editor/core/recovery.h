// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class QLockFile;

namespace varnix::editor {

// The copy of a screen kept while it is edited, so that a crash loses
// nothing: written whole or not at all after each change, dropped once the
// screen is saved or given up. An editor holds a lock beside its copy while
// it runs; a copy whose lock nobody holds was left by an editor that ended
// without dropping it, and the next start offers to restore it.
class Recovery
{
public:
    // Copies go into `folder`, made when first needed.
    explicit Recovery(const QString& folder);
    ~Recovery();
    Recovery(const Recovery&) = delete;
    Recovery& operator=(const Recovery&) = delete;

    // Where copies go unless told otherwise: under the program's data.
    static QString defaultFolder();

    // Keeps the text and the file it belongs to (empty for a new screen);
    // false, with why, when it could not be written.
    bool keep(const QByteArray& text, const QString& file, QString* why = nullptr);
    // The work is saved or given up: the copy goes.
    void drop();
    bool keeping() const { return !m_path.isEmpty(); }

    struct Left {
        QString copy;  // the copy's own file
        QString file;  // the screen's, empty for one never saved
        QByteArray text;
        QDateTime when;
    };
    // The copies in the folder left by editors that ended without dropping
    // them, newest first: not those of editors still running.
    static QList<Left> left(const QString& folder);
    // A copy restored or refused goes.
    static void discard(const Left& copy);

private:
    QString m_folder;
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace varnix::editor
