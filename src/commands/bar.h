// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/drawingpages.h"

#include <QObject>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;
class ListBox;

// The page "Bar": a filled bar from a top left corner, with width, length,
// orientation and fill step.
class BarPage : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    // Its two orientation options join the page option group.
    BarPage(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent = nullptr);

    // Relabel the length field; the caption does not decide the orientation.
    void optbarh_Click();
    void optbarv_Click();
    void cmdbar_Click();
    protocol::FrameResult frame() const;
    QStringList previewFrames(const QWidget* page) const override;

private:
    PageHost& m_host;
    QWidget* m_page;
    LineField* m_txtbarx;
    LineField* m_txtbary;
    LineField* m_txtbarwidth;
    LineField* m_txtbarheight;
    QLabel* m_Label70;
    ListBox* m_List3;
    QRadioButton* m_optbarh;
    QRadioButton* m_optbarv;
    QPushButton* m_cmdbar;
};

} // namespace varnix
