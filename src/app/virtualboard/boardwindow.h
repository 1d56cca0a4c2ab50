// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;

namespace varnix {

class DisplayView;

namespace board {
class VirtualBoard;
}

// The virtual board's window: its display, and the device a program opens
// to reach it.
class BoardWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BoardWindow(board::VirtualBoard& board, QWidget* parent = nullptr);

private:
    void refresh();

    board::VirtualBoard& m_board;
    DisplayView* m_view;
    QLabel* m_status;
};

} // namespace varnix
