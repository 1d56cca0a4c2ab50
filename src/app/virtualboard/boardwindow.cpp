// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/virtualboard/boardwindow.h"

#include "display/displayview.h"
#include "display/icon.h"
#include "board/virtualboard.h"

#include <QLabel>
#include <QVBoxLayout>

namespace varnix {

BoardWindow::BoardWindow(board::VirtualBoard& board, QWidget* parent)
    : QWidget(parent), m_board(board), m_view(new DisplayView(4, this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("BoardWindow"));
    setWindowTitle(QStringLiteral("Varnix virtual board"));
    setWindowIcon(programIconSet());
    m_view->setObjectName(QStringLiteral("boardDisplay"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_status);
    connect(&m_board, &board::VirtualBoard::fed, this, &BoardWindow::refresh);
    refresh();
}

void BoardWindow::refresh()
{
    const board::Firmware& firmware = m_board.firmware();
    m_view->setDisplay(firmware.display());
    m_status->setText(QStringLiteral("Device %1 · %2 commands, %3 refused")
                          .arg(m_board.devicePath())
                          .arg(firmware.commandsDone())
                          .arg(firmware.errors()));
}

} // namespace varnix
