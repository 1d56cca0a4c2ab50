// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace varnix {

void QtDesktop::message(QWidget* parent, const QString& text, const QString& title,
                        const QStringList& buttons)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    for (const QString& caption : buttons)
        box.addButton(caption, QMessageBox::AcceptRole);
    box.exec();
}

void QtDesktop::beep()
{
    QApplication::beep();
}

QString QtDesktop::clipboardText()
{
    return QApplication::clipboard()->text();
}

void QtDesktop::setClipboardText(const QString& text)
{
    QApplication::clipboard()->setText(text);
}

QString QtDesktop::saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
}

QString QtDesktop::openFileName(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

bool QtDesktop::question(QWidget* parent, const QString& text, const QString& title)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

} // namespace varnix
