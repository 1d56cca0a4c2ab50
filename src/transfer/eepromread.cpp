#include "transfer/eepromread.h"

#include "widgets/pagehost.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnix {

namespace {
constexpr int kAddressLimit = 4;
} // namespace

EepromRead::EepromRead(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent)
    : QObject(parent), m_host(host),
      m_txteraddr(pagelayout::field(QStringLiteral("txteraddr"), QStringLiteral("0000"), kAddressLimit)),
      m_txtebytes(pagelayout::field(QStringLiteral("txtebytes"), QStringLiteral("0000"), kAddressLimit)),
      m_readeep(pagelayout::namedCaption(QStringLiteral("readeep"), QStringLiteral("0000"))),
      m_optxeep1(pagelayout::option(QStringLiteral("optxeep1"), QStringLiteral("External"))),
      m_optxeep2(pagelayout::option(QStringLiteral("optxeep2"), QStringLiteral("Internal"))),
      m_cmderead(pagelayout::button(QStringLiteral("cmderead"), QStringLiteral("&Read"))),
      m_txteread(new TextArea(QStringLiteral("txteread"))),
      m_cmdecopy(pagelayout::button(QStringLiteral("cmdecopy"), QStringLiteral("&Copy"))),
      m_cmdereadclr(pagelayout::button(QStringLiteral("cmdereadclr"), QStringLiteral("Clear")))
{
    auto* grid = new QGridLayout;
    pagelayout::addRow(grid, 0, 0, QStringLiteral("Address"), m_txteraddr);
    pagelayout::addRow(grid, 1, 0, QStringLiteral("Number"), m_txtebytes);
    pagelayout::addRow(grid, 2, 0, QStringLiteral("End Addr"), m_readeep);
    grid->setColumnMinimumWidth(2, 24);
    grid->addWidget(m_optxeep1, 0, 3);
    grid->addWidget(m_optxeep2, 1, 3);
    grid->setColumnStretch(4, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_cmderead);
    buttons->addWidget(m_cmdecopy);
    buttons->addWidget(m_cmdereadclr);
    buttons->addStretch(1);

    auto* reply = new QHBoxLayout;
    reply->addWidget(m_txteread, 1);
    reply->addLayout(buttons);

    auto* column = new QVBoxLayout(page);
    column->addLayout(grid);
    column->addLayout(reply, 1);
    pageOptions.addButton(m_optxeep1);
    pageOptions.addButton(m_optxeep2);
    m_optxeep1->setChecked(true);
}

} // namespace varnix
