// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/desktop.h"

#include "widgets/pagelayout.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
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

QStringList askFiles(QFileDialog& dialog)
{
    const std::pair<const char*, const char*> captioned[] = {
        {"lookInLabel", "lookInCombo"}, {"fileNameLabel", "fileNameEdit"}, {"fileTypeLabel", "fileTypeCombo"}};
    for (const auto& [label, control] : captioned) {
        auto* caption = dialog.findChild<QLabel*>(QLatin1String(label));
        auto* widget = dialog.findChild<QWidget*>(QLatin1String(control));
        if (caption && widget)
            pagelayout::nameBy(caption, widget);
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtDesktop::saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                const QString& filter)
{
    QFileDialog dialog(parent, title, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return askFiles(dialog).value(0);
}

QString QtDesktop::openFileName(QWidget* parent, const QString& title, const QString& filter)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return askFiles(dialog).value(0);
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
