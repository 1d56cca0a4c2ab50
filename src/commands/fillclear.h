// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/drawingpages.h"

#include <QObject>

class QPushButton;
class QWidget;

namespace varnix {

class PageHost;
class ListBox;

// The pages "FillScreen" (fill the display with a chosen step) and
// "ClearScreen".
class FillClear : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    FillClear(PageHost& host, QWidget* fillPage, QWidget* clearPage, QObject* parent = nullptr);

    void cmdFill_Click();
    void cmdClearLCD_Click();
    QStringList previewFrames(const QWidget* page) const override;

private:
    void buildFill(QWidget* page);
    void buildClear(QWidget* page);

    PageHost& m_host;
    QWidget* m_fillPage;
    QWidget* m_clearPage;
    ListBox* m_List2 = nullptr;
    QPushButton* m_cmdFill = nullptr;
    QPushButton* m_cmdClearLCD = nullptr;
};

} // namespace varnix
