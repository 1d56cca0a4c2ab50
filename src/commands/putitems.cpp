// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/putitems.h"

#include "commands/fieldchecks.h"
#include "protocol/encodings.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QLabel>
#include <QPushButton>

namespace varnix {

using pagelayout::field;
using pagelayout::fieldText;

PutItems::PutItems(PageHost& host, QWidget* putBytePage, QWidget* putCharPage, QObject* parent)
    : QObject(parent), m_host(host), m_putBytePage(putBytePage), m_putCharPage(putCharPage)
{
    buildPutByte(putBytePage);
    buildPutChar(putCharPage);
    bindLeaveFieldChecks(host, putBytePage);
    bindLeaveFieldChecks(host, putCharPage);
    connect(m_cmdPutByte, &QPushButton::clicked, this, &PutItems::cmdPutByte_Click);
    connect(m_cmdPutChr, &QPushButton::clicked, this, &PutItems::cmdPutChr_Click);
    connect(m_txtPutChr, &LineField::changed, this, &PutItems::txtPutChr_Change);
}

void PutItems::cmdPutByte_Click()
{
    guardedSend(m_host, [this] { return byteFrame(); });
}

void PutItems::cmdPutChr_Click()
{
    guardedSend(m_host, [this] { return characterFrame(); });
}

protocol::FrameResult PutItems::byteFrame() const
{
    return protocol::putByteFrame(fieldText(m_txtPutBytex), fieldText(m_txtPutBytey), fieldText(m_txtPutByte));
}

protocol::FrameResult PutItems::characterFrame() const
{
    return protocol::putCharFrame(fieldText(m_txtPutChrx), fieldText(m_txtPutchry), fieldText(m_txtPutChr));
}

QStringList PutItems::previewFrames(const QWidget* page) const
{
    if (page == m_putBytePage)
        return framesOf(byteFrame());
    if (page == m_putCharPage)
        return framesOf(characterFrame());
    return {};
}

void PutItems::txtPutChr_Change()
{
    // Capitals that have a single-byte form, as the frame will carry them.
    const QString upper = protocol::latin1Upper(m_txtPutChr->exactText());
    if (upper != m_txtPutChr->exactText())
        m_txtPutChr->setExactText(upper);
}

void PutItems::buildPutByte(QWidget* page)
{
    m_txtPutBytex = field(QStringLiteral("txtPutBytex"), QStringLiteral("10"), 3);
    m_txtPutBytey = field(QStringLiteral("txtPutBytey"), QStringLiteral("10"), 2);
    m_txtPutByte = field(QStringLiteral("txtPutByte"), QStringLiteral("124"), 3);
    m_cmdPutByte = pagelayout::button(QStringLiteral("cmdPutByte"), QStringLiteral("&Put Byte"));

    pagelayout::Form(page)
        .text(QStringLiteral("Places a vertical byte at X,Y location"))
        .cell(QStringLiteral("X"), m_txtPutBytex)
        .cell(QStringLiteral("Y"), m_txtPutBytey)
        .group()
        .cell(QStringLiteral("Byte value 0-255"), m_txtPutByte)
        .row({m_cmdPutByte});
}

void PutItems::buildPutChar(QWidget* page)
{
    m_txtPutChrx = field(QStringLiteral("txtPutChrx"), QStringLiteral("10"), 3);
    m_txtPutchry = field(QStringLiteral("txtPutchry"), QStringLiteral("10"), 2);
    m_txtPutChr = field(QStringLiteral("txtPutChr"), QStringLiteral("A"), 1);
    m_cmdPutChr = pagelayout::button(QStringLiteral("cmdPutChr"), QStringLiteral("&Put Character"));

    pagelayout::Form(page)
        .text(QStringLiteral("Places a character at X,Y location"))
        .group(QStringLiteral("Position"))
        .cell(QStringLiteral("X"), m_txtPutChrx)
        .cell(QStringLiteral("Y"), m_txtPutchry)
        .group()
        .cell(QStringLiteral("Charcter A-Z, 0-9 ONLY"), m_txtPutChr)
        .row({m_cmdPutChr});
}

} // namespace varnix
