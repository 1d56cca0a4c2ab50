// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/eepromread.h"

#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "protocol/numbers.h"
#include "transfer/transferkit.h"
#include "widgets/pagehost.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace varnix {

EepromRead::EepromRead(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent)
    : QObject(parent), m_host(host),
      m_txteraddr(pagelayout::field(QStringLiteral("txteraddr"), QStringLiteral("0000"), transfer::kAddressLimit)),
      m_txtebytes(pagelayout::field(QStringLiteral("txtebytes"), QStringLiteral("0000"), transfer::kAddressLimit)),
      m_readeep(pagelayout::namedCaption(QStringLiteral("readeep"), QStringLiteral("0000"))),
      m_optxeep1(pagelayout::option(QStringLiteral("optxeep1"), QStringLiteral("External"))),
      m_optxeep2(pagelayout::option(QStringLiteral("optxeep2"), QStringLiteral("Internal"))),
      m_cmderead(pagelayout::button(QStringLiteral("cmderead"), QStringLiteral("&Read"))),
      m_txteread(new TextArea(QStringLiteral("txteread"))),
      m_cmdecopy(pagelayout::button(QStringLiteral("cmdecopy"), QStringLiteral("&Copy"))),
      m_cmdereadclr(pagelayout::button(QStringLiteral("cmdereadclr"), QStringLiteral("Clear"))),
      m_reply(new transfer::ReplyCapture(host, m_txteread, this))
{
    // Replies often come as long runs of hex without a break.
    m_txteread->setWordWrapMode(QTextOption::WrapAnywhere);
    m_txteread->setAccessibleName(QString::fromLatin1(transfer::kTextArea));

    pagelayout::Form(page)
        .cell(QStringLiteral("Address"), m_txteraddr)
        .cell(QStringLiteral("Number"), m_txtebytes)
        .cell(QStringLiteral("End Addr"), m_readeep)
        .row({m_optxeep1, m_optxeep2, m_cmderead})
        .fill(m_txteread)
        .row({m_cmdecopy, m_cmdereadclr});
    pageOptions.addButton(m_optxeep1);
    pageOptions.addButton(m_optxeep2);
    m_optxeep1->setChecked(true);

    onFocusLeft(m_txteraddr, host, [this] { txteraddr_LostFocus(); });
    onFocusLeft(m_txtebytes, host, [this] { txtebytes_LostFocus(); });
    onFocusLeft(m_cmderead, host, [this] { cmderead_LostFocus(); });
    connect(m_cmderead, &QPushButton::clicked, this, &EepromRead::cmderead_Click);
    connect(m_cmdecopy, &QPushButton::clicked, this, &EepromRead::cmdecopy_Click);
    connect(m_cmdereadclr, &QPushButton::clicked, this, &EepromRead::cmdereadclr_Click);
}

void EepromRead::txteraddr_LostFocus()
{
    showEndAddress(m_txteraddr);
}

void EepromRead::txtebytes_LostFocus()
{
    showEndAddress(m_txtebytes);
}

void EepromRead::showEndAddress(LineField* left)
{
    transfer::rewriteInFourDigits(left);
    const double end = protocol::leadingNumber(m_txteraddr->exactText())
                       + protocol::leadingNumber(m_txtebytes->exactText()) - 1;
    const auto rounded = protocol::roundHalfEven(end);
    m_readeep->setText(rounded ? protocol::fourDigitDecimal(*rounded) : protocol::decimalText(end));
}

void EepromRead::cmderead_Click()
{
    if (!m_optxeep1->isChecked() && !m_optxeep2->isChecked()) {
        m_host.message(QString::fromLatin1(transfer::kSelectEeprom));
        return;
    }
    if (!m_host.portGuard())
        return;
    const protocol::FieldText address = pagelayout::fieldText(m_txteraddr);
    const auto start = transfer::wholeField(m_host, address);
    if (!start || !transfer::wholeField(m_host, pagelayout::fieldText(m_txtebytes)))
        return;
    // The end address as shown, which the frame carries.
    protocol::FieldText end = pagelayout::fieldName(m_readeep);
    end.text = m_readeep->text();
    const auto endNumber = transfer::wholeNumber(end.text);
    if (endNumber && !transfer::blockInOrder(m_host, *start, *endNumber))
        return;
    if (!transfer::wholeField(m_host, end))
        return;
    m_reply->request(protocol::eepromReadFrame(m_optxeep1->isChecked(), address, end));
}

void EepromRead::cmderead_LostFocus()
{
    m_reply->capture();
}

void EepromRead::cmdecopy_Click()
{
    copyToClipboard(m_host, m_txteread->exactText());
}

void EepromRead::cmdereadclr_Click()
{
    m_txteread->setExactText(QString());
}

} // namespace varnix
