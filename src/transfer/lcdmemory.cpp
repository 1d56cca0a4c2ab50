#include "transfer/lcdmemory.h"

#include "widgets/pagehost.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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
      m_cdmlcdcopy(pagelayout::button(QStringLiteral("cdmlcdcopy"), QStringLiteral("&Copy")))
{
    // Write waits for a text to write.
    m_cmdwritelcd->setEnabled(false);

    auto* grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("LCD map X, Y coordinates")), 0, 0, 1, 9);
    grid->addWidget(caption(QStringLiteral("Start at:")), 1, 0, 1, 4);
    pagelayout::addRow(grid, 2, 0, QStringLiteral("X1"), m_txtlcdx1);
    pagelayout::addRow(grid, 2, 2, QStringLiteral("Y1"), m_txtlcdy1);
    grid->setColumnMinimumWidth(4, 24);
    grid->addWidget(caption(QStringLiteral("End at:")), 1, 5, 1, 4);
    pagelayout::addRow(grid, 2, 5, QStringLiteral("X2"), m_txtlcdx2);
    pagelayout::addRow(grid, 2, 7, QStringLiteral("Y2"), m_txtlcdy2);
    grid->setColumnStretch(9, 1);

    auto* counts = new QHBoxLayout;
    counts->addWidget(caption(QStringLiteral("Bytes:")));
    counts->addWidget(m_xybytes);
    counts->addSpacing(24);
    counts->addWidget(caption(QStringLiteral("Text area Bytes:")));
    counts->addWidget(m_txtbytes);
    counts->addStretch(1);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {m_cmdlcdfmt, m_cmdwritelcd, m_cmdlcdpaste, m_lcrlcdtxt, m_cmdlcdread, m_cdmlcdcopy})
        buttons->addWidget(button);
    buttons->addStretch(1);

    auto* block = new QHBoxLayout;
    block->addWidget(m_txtlcd, 1);
    block->addLayout(buttons);

    auto* column = new QVBoxLayout(page);
    column->addLayout(grid);
    column->addLayout(counts);
    column->addLayout(block, 1);
}

} // namespace varnix
