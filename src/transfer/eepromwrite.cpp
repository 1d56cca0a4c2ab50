#include "transfer/eepromwrite.h"

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

EepromWrite::EepromWrite(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent)
    : QObject(parent), m_host(host),
      m_txtewaddr(pagelayout::field(QStringLiteral("txtewaddr"), QStringLiteral("0000"), kAddressLimit)),
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
    m_cmdewrite->setEnabled(false);
    pageOptions.addButton(m_optWeep1);
    pageOptions.addButton(m_optweep2);

    auto* grid = new QGridLayout;
    pagelayout::addRow(grid, 0, 0, QStringLiteral("Start Address"), m_txtewaddr);
    pagelayout::addRow(grid, 1, 0, QStringLiteral("End Address"), m_lbleend);
    grid->setColumnMinimumWidth(2, 24);
    grid->addWidget(m_optWeep1, 0, 3);
    grid->addWidget(m_optweep2, 1, 3);
    grid->setColumnStretch(4, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_cmdepaste);
    buttons->addWidget(m_cmdechk);
    buttons->addWidget(m_cmdewrite);
    buttons->addWidget(m_cmdeclr);
    buttons->addStretch(1);

    auto* data = new QHBoxLayout;
    data->addWidget(m_txtewrite, 1);
    data->addLayout(buttons);

    auto* column = new QVBoxLayout(page);
    column->addLayout(grid);
    column->addWidget(pagelayout::caption(QStringLiteral("Enter hex format (hh) only")));
    column->addLayout(data, 1);
}

} // namespace varnix
