// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/lcdmemory.h"

#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "render/picture.h"
#include "transfer/lcdpictures.h"
#include "transfer/transferkit.h"
#include "widgets/pagehost.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QLabel>
#include <QPushButton>

namespace varnix {

using pagelayout::caption;

namespace {
constexpr int kXLimit = 3;
constexpr int kYLimit = 2;
} // namespace

LcdMemory::LcdMemory(PageHost& host, QWidget* page, QObject* parent)
    : QObject(parent), m_host(host),
      m_txtlcdx1(pagelayout::field(QStringLiteral("txtlcdx1"), QStringLiteral("000"), kXLimit)),
      m_txtlcdy1(pagelayout::field(QStringLiteral("txtlcdy1"), QStringLiteral("00"), kYLimit)),
      m_txtlcdx2(pagelayout::field(QStringLiteral("txtlcdx2"), QStringLiteral("000"), kXLimit)),
      m_txtlcdy2(pagelayout::field(QStringLiteral("txtlcdy2"), QStringLiteral("00"), kYLimit)),
      m_xybytes(pagelayout::namedCaption(QStringLiteral("xybytes"), QStringLiteral("0000"))),
      m_txtbytes(pagelayout::namedCaption(QStringLiteral("txtbytes"), QStringLiteral("0000"))),
      m_txtlcd(new TextArea(QStringLiteral("txtlcd"))),
      m_cmdlcdfmt(pagelayout::button(QStringLiteral("cmdlcdfmt"), QStringLiteral("Reformat to Send"))),
      m_cmdwritelcd(pagelayout::button(QStringLiteral("cmdwritelcd"), QStringLiteral("&Write"))),
      m_cmdlcdpaste(pagelayout::button(QStringLiteral("cmdlcdpaste"), QStringLiteral("&Paste"))),
      m_lcrlcdtxt(pagelayout::button(QStringLiteral("lcrlcdtxt"), QStringLiteral("Clear"))),
      m_cmdlcdread(pagelayout::button(QStringLiteral("cmdlcdread"), QStringLiteral("&Read"))),
      m_cdmlcdcopy(pagelayout::button(QStringLiteral("cdmlcdcopy"), QStringLiteral("&Copy"))),
      m_reply(new transfer::ReplyCapture(host, m_txtlcd, this))
{
    // A byte list is one long line; wrapping it at word boundaries would
    // cost time growing with the square of its length.
    m_txtlcd->setWordWrapMode(QTextOption::WrapAnywhere);
    m_txtlcd->setAccessibleName(QString::fromLatin1(transfer::kTextArea));
    // Write waits for a text to write.
    m_cmdwritelcd->setEnabled(false);

    // A loaded picture is a new text, to be reformatted as a pasted one is.
    auto* pictures = new transfer::LcdPictures(
        host, m_txtlcd, [this] { return corners(); }, [this](const render::LcdBlock& block) { setCorners(block); },
        [this] { m_cmdlcdfmt->setEnabled(true); }, this);

    // Writing a block on one row of buttons, reading one and the pictures
    // on the next.
    pagelayout::Form(page)
        .text(caption(QStringLiteral("LCD map X, Y coordinates")))
        .group(QStringLiteral("Start at:"))
        .cell(QStringLiteral("X1"), m_txtlcdx1)
        .cell(QStringLiteral("Y1"), m_txtlcdy1)
        .group(QStringLiteral("End at:"))
        .cell(QStringLiteral("X2"), m_txtlcdx2)
        .cell(QStringLiteral("Y2"), m_txtlcdy2)
        .band()
        .cell(QStringLiteral("Bytes:"), m_xybytes)
        .cell(QStringLiteral("Text area Bytes:"), m_txtbytes)
        .fill(m_txtlcd)
        .row({m_cmdlcdfmt, m_cmdwritelcd, m_cmdlcdpaste, m_lcrlcdtxt})
        .row({m_cmdlcdread, m_cdmlcdcopy, pictures->cmdlcdloadpic(), pictures->cmdlcdloadtext(),
              pictures->cmdlcdsavepic()});

    connect(m_cmdlcdfmt, &QPushButton::clicked, this, &LcdMemory::cmdlcdfmt_Click);
    connect(m_cmdwritelcd, &QPushButton::clicked, this, &LcdMemory::cmdwritelcd_Click);
    connect(m_txtlcd, &TextArea::changed, this, &LcdMemory::txtlcd_Change);
    connect(m_cmdlcdpaste, &QPushButton::clicked, this, &LcdMemory::cmdlcdpaste_Click);
    connect(m_lcrlcdtxt, &QPushButton::clicked, this, &LcdMemory::lcrlcdtxt_Click);
    connect(m_cmdlcdread, &QPushButton::clicked, this, &LcdMemory::cmdlcdread_Click);
    onFocusLeft(m_cmdlcdread, host, [this] { cmdlcdread_LostFocus(); });
    connect(m_cdmlcdcopy, &QPushButton::clicked, this, &LcdMemory::cdmlcdcopy_Click);
}

std::array<protocol::FieldText, LcdMemory::CornerCount> LcdMemory::cornerTexts() const
{
    return {pagelayout::fieldText(m_txtlcdx1), pagelayout::fieldText(m_txtlcdx2), pagelayout::fieldText(m_txtlcdy1),
            pagelayout::fieldText(m_txtlcdy2)};
}

std::optional<std::array<std::int64_t, LcdMemory::CornerCount>> LcdMemory::corners()
{
    std::array<std::int64_t, CornerCount> values{};
    const auto texts = cornerTexts();
    for (int corner = 0; corner < CornerCount; ++corner) {
        const auto value = transfer::wholeField(m_host, texts[corner]);
        if (!value)
            return std::nullopt;
        values[corner] = *value;
    }
    return values;
}

void LcdMemory::setCorners(const render::LcdBlock& block)
{
    // With leading zeros, as the fields start.
    const auto digits = [](int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0')); };
    m_txtlcdx1->setExactText(digits(block.x1, kXLimit));
    m_txtlcdx2->setExactText(digits(block.x2, kXLimit));
    m_txtlcdy1->setExactText(digits(block.y1, kYLimit));
    m_txtlcdy2->setExactText(digits(block.y2, kYLimit));
}

void LcdMemory::cmdlcdfmt_Click()
{
    if (protocol::trimmedOfBlanks(m_txtlcd->exactText()).isEmpty()) {
        m_host.message(QStringLiteral("Nothing to format!"));
        return;
    }
    const auto paired = transfer::pairedText(m_host, m_txtlcd->exactText());
    if (!paired)
        return;
    const auto c = corners();
    if (!c || !transfer::cornersInOrder(m_host, *c))
        return;
    const std::int64_t cells = ((*c)[X2] - (*c)[X1] + 1) * ((*c)[Y2] - (*c)[Y1] + 1);
    m_xybytes->setText(protocol::fourDigitDecimal(cells));
    const qsizetype bytes = paired->size() / 2;
    m_txtbytes->setText(protocol::fourDigitDecimal(bytes));
    if (cells != bytes) {
        m_host.message(QStringLiteral("Sum of X,Y bytes do not equal the text bytes"));
        return;
    }
    const QString list = protocol::byteList(*paired);
    m_host.setPacingDelay(QStringLiteral("5"));
    m_txtlcd->setExactText(list);
    m_cmdwritelcd->setEnabled(true);
    m_cmdlcdfmt->setEnabled(false);
}

void LcdMemory::cmdwritelcd_Click()
{
    if (!m_host.portGuard())
        return;
    if (m_cmdlcdfmt->isEnabled())
        m_host.message(QStringLiteral("Make sure you Reformat the text before writing"));
    if (!corners())
        return;
    const auto texts = cornerTexts();
    transfer::sendBlock(m_host, protocol::lcdWriteFrame(texts[X1], texts[X2], texts[Y1], texts[Y2],
                                                        pagelayout::fieldText(m_txtlcd)));
}

void LcdMemory::txtlcd_Change()
{
    m_cmdwritelcd->setEnabled(true);
}

void LcdMemory::cmdlcdpaste_Click()
{
    transfer::pasteInto(m_host, m_txtlcd, [this] { m_cmdlcdfmt->setEnabled(true); });
}

void LcdMemory::lcrlcdtxt_Click()
{
    m_txtlcd->setExactText(QString());
    m_cmdlcdfmt->setEnabled(true);
    m_cmdwritelcd->setEnabled(false);
}

void LcdMemory::cmdlcdread_Click()
{
    if (!m_host.portGuard() || !corners())
        return;
    const auto texts = cornerTexts();
    m_reply->request(protocol::lcdReadFrame(texts[X1], texts[X2], texts[Y1], texts[Y2]));
}

void LcdMemory::cmdlcdread_LostFocus()
{
    m_reply->capture();
}

void LcdMemory::cdmlcdcopy_Click()
{
    copyToClipboard(m_host, m_txtlcd->exactText());
    m_cmdlcdfmt->setEnabled(true);
}

} // namespace varnix
