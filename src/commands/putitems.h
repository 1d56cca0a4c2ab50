// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/drawingpages.h"

#include <QObject>

class QPushButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;

// The pages "PutByte" (a byte drawn vertically at x,y) and "PutChar" (one
// character at x,y).
class PutItems : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    PutItems(PageHost& host, QWidget* putBytePage, QWidget* putCharPage, QObject* parent = nullptr);

    void cmdPutByte_Click();
    void cmdPutChr_Click();
    // Keeps the character in upper case, whoever changed it.
    void txtPutChr_Change();
    protocol::FrameResult byteFrame() const;
    protocol::FrameResult characterFrame() const;
    QStringList previewFrames(const QWidget* page) const override;

private:
    void buildPutByte(QWidget* page);
    void buildPutChar(QWidget* page);

    PageHost& m_host;
    QWidget* m_putBytePage;
    QWidget* m_putCharPage;
    LineField* m_txtPutBytex = nullptr;
    LineField* m_txtPutBytey = nullptr;
    LineField* m_txtPutByte = nullptr;
    QPushButton* m_cmdPutByte = nullptr;

    LineField* m_txtPutChrx = nullptr;
    LineField* m_txtPutchry = nullptr;
    LineField* m_txtPutChr = nullptr;
    QPushButton* m_cmdPutChr = nullptr;
};

} // namespace varnix
