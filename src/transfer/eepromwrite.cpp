// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/eepromwrite.h"

#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "transfer/transferkit.h"
#include "widgets/pagehost.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>


namespace varnix {

EepromWrite::EepromWrite(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent)
    : QObject(parent), m_host(host),
      m_txtewaddr(pagelayout::field(QStringLiteral("txtewaddr"), QStringLiteral("0000"), transfer::kAddressLimit)),
      m_lbleend(pagelayout::namedCaption(QStringLiteral("lbleend"), QStringLiteral("0000"))),
      m_txtewrite(new TextArea(QStringLiteral("txtewrite"))),
      m_optWeep1(pagelayout::option(QStringLiteral("optWeep1"), QStringLiteral("Ext I2C"))),
      m_optweep2(pagelayout::option(QStringLiteral("optweep2"), QStringLiteral("Internal"))),
      m_cmdepaste(pagelayout::button(QStringLiteral("cmdepaste"), QStringLiteral("&Paste"))),
      m_cmdechk(pagelayout::button(QStringLiteral("cmdechk"), QStringLiteral("Reformat"))),
      m_cmdeclr(pagelayout::button(QStringLiteral("cmdeclr"), QStringLiteral("Clear"))),
      m_cmdewrite(pagelayout::button(QStringLiteral("cmdewrite"), QStringLiteral("&Write")))
{
    // Write waits for a Reformat.
    showFormatted(false);
    // A byte list is one long line; wrapping it at word boundaries would
    // cost time growing with the square of its length.
    m_txtewrite->setWordWrapMode(QTextOption::WrapAnywhere);
    // Typed hex digits go in as lower case; pasted text stays as it is.
    m_txtewrite->keyFilter = [](QChar typed) { return typed.toLower(); };
    m_txtewrite->setAccessibleName(QString::fromLatin1(transfer::kTextArea));
    pageOptions.addButton(m_optWeep1);
    pageOptions.addButton(m_optweep2);

    pagelayout::Form(page)
        .cell(QStringLiteral("Start Address"), m_txtewaddr)
        .cell(QStringLiteral("End Address"), m_lbleend)
        .text(pagelayout::caption(QStringLiteral("Enter hex format (hh) only")))
        .fill(m_txtewrite)
        .row({m_optWeep1, m_optweep2})
        .row({m_cmdepaste, m_cmdechk, m_cmdeclr, m_cmdewrite});

    onFocusLeft(m_txtewaddr, host, [this] { txtewaddr_LostFocus(); });
    connect(m_cmdechk, &QPushButton::clicked, this, &EepromWrite::cmdechk_Click);
    connect(m_cmdewrite, &QPushButton::clicked, this, &EepromWrite::cmdewrite_Click);
    connect(m_cmdepaste, &QPushButton::clicked, this, &EepromWrite::cmdepaste_Click);
    connect(m_cmdeclr, &QPushButton::clicked, this, &EepromWrite::cmdeclr_Click);
}

void EepromWrite::txtewaddr_LostFocus()
{
    transfer::rewriteInFourDigits(m_txtewaddr);
}

void EepromWrite::cmdechk_Click()
{
    const auto paired = transfer::pairedText(m_host, m_txtewrite->exactText());
    if (!paired)
        return;
    const auto start = transfer::wholeField(m_host, pagelayout::fieldText(m_txtewaddr));
    if (!start)
        return;
    const std::int64_t end = *start + paired->size() / 2 - 1;
    // The end address goes out as one word.
    if (const auto word = protocol::wordOfNumber(end, pagelayout::fieldName(m_lbleend).named()); !word.ok()) {
        m_host.message(word.message());
        return;
    }
    m_endAddress = std::int32_t(end);
    m_lbleend->setText(protocol::fourDigitDecimal(m_endAddress));
    const QString list = protocol::byteList(*paired) + u']';
    m_host.setPacingDelay(QStringLiteral("200"));
    m_txtewrite->setExactText(list);
    showFormatted(true);
}

void EepromWrite::cmdewrite_Click()
{
    if (!m_optWeep1->isChecked() && !m_optweep2->isChecked()) {
        m_host.message(QString::fromLatin1(transfer::kSelectEeprom));
        return;
    }
    if (m_txtewrite->exactText().isEmpty()) {
        m_host.message(QStringLiteral("Nothing to write!"));
        return;
    }
    if (!m_host.portGuard())
        return;
    const protocol::FieldText startText = pagelayout::fieldText(m_txtewaddr);
    const auto start = transfer::wholeField(m_host, startText);
    if (!start || !transfer::blockInOrder(m_host, *start, m_endAddress))
        return;
    if (transfer::sendBlock(m_host, protocol::eepromWriteFrame(m_optWeep1->isChecked(), startText, m_endAddress,
                                                               pagelayout::fieldText(m_txtewrite))))
        m_host.setPacingDelay(QStringLiteral("20"));
}

void EepromWrite::cmdepaste_Click()
{
    transfer::pasteInto(m_host, m_txtewrite);
}

void EepromWrite::cmdeclr_Click()
{
    m_txtewrite->setExactText(QString());
    showFormatted(false);
}

void EepromWrite::showFormatted(bool formatted)
{
    m_cmdechk->setEnabled(!formatted);
    m_cmdewrite->setEnabled(formatted);
}

} // namespace varnix
