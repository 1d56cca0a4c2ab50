// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcode/exportdialog.h"

#include "script/escapes.h"
#include "widgets/desktop.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace varnix::hostcode {

namespace {

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QString frames(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 frame") : QStringLiteral("%1 frames").arg(count);
}

} // namespace

ExportDialog::ExportDialog(const Setup& setup, QWidget* parent)
    : QDialog(parent), m_desktop(setup.desktop), m_screens(setup.screens),
      m_lblSource(named(new QLabel, "lblSource")),
      m_cmdOpenScript(named(new QPushButton(QStringLiteral("&Open Script\u2026")), "cmdOpenScript")),
      m_cboLanguage(named(new QComboBox, "cboLanguage")),
      m_txtName(named(new QLineEdit, "txtName")),
      m_lblNote(named(new QLabel, "lblNote")),
      m_txtCode(named(new QPlainTextEdit, "txtCode")),
      m_cmdCopyCode(named(new QPushButton(QStringLiteral("&Copy")), "cmdCopyCode")),
      m_cmdSaveCode(named(new QPushButton(QStringLiteral("&Save\u2026")), "cmdSaveCode"))
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(QStringLiteral("Export"));
    m_source.lineSettings = setup.lineSettings;
    m_source.startDelay = setup.startDelay;
    m_source.pacing = setup.pacing;

    for (const Language language : {Language::C, Language::Arduino, Language::Python})
        m_cboLanguage->addItem(languageTitle(language), int(language));
    m_txtName->setMaxLength(kLongestName * 2);
    m_lblNote->setWordWrap(true);
    m_lblSource->setWordWrap(true);
    m_txtCode->setReadOnly(true);
    m_txtCode->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtCode->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_txtCode->setAccessibleName(QStringLiteral("Code"));
    m_txtCode->setMinimumSize(560, 320);

    auto* from = new QHBoxLayout;
    from->addWidget(m_lblSource, 1);
    from->addWidget(m_cmdOpenScript);
    auto* name = new QHBoxLayout;
    auto* prefix = new QLabel(functionName({}));
    name->setSpacing(0);
    name->addWidget(prefix);
    name->addWidget(m_txtName, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("From:"), from);
    auto* languageLabel = new QLabel(QStringLiteral("&Language:"));
    languageLabel->setBuddy(m_cboLanguage);
    form->addRow(languageLabel, m_cboLanguage);
    auto* nameLabel = new QLabel(QStringLiteral("Function &name:"));
    nameLabel->setBuddy(m_txtName);
    m_txtName->setAccessibleName(QStringLiteral("Function name"));
    form->addRow(nameLabel, name);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(m_cmdCopyCode, QDialogButtonBox::ActionRole);
    buttons->addButton(m_cmdSaveCode, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_lblNote);
    layout->addWidget(m_txtCode, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_cmdOpenScript, &QPushButton::clicked, this, &ExportDialog::openScript);
    connect(m_cboLanguage, &QComboBox::currentIndexChanged, this, &ExportDialog::redraw);
    connect(m_txtName, &QLineEdit::textChanged, this, &ExportDialog::redraw);
    connect(m_cmdCopyCode, &QPushButton::clicked, this, &ExportDialog::copy);
    connect(m_cmdSaveCode, &QPushButton::clicked, this, &ExportDialog::save);
}

void ExportDialog::setSource(const script::Script& script, const QString& madeFrom, const QString& name)
{
    m_source.script = script;
    m_source.madeFrom = madeFrom;
    m_source.screens.clear();
    m_screensRefusal.clear();
    if (m_screens) {
        auto pictures = m_screens(script);
        if (auto* read = std::get_if<QHash<int, QByteArray>>(&pictures))
            m_source.screens = std::move(*read);
        else
            m_screensRefusal = std::get<script::ReadError>(pictures).describe();
    }
    m_lblSource->setText(QStringLiteral("%1 (%2)").arg(madeFrom, frames(script.frameCount())));
    m_lblSource->setAccessibleName(QStringLiteral("From ") + m_lblSource->text());
    const QSignalBlocker quiet(m_txtName);
    m_txtName->setText(identifierFrom(name));
    redraw();
}

bool ExportDialog::openScript()
{
    const QString path = m_desktop.openFileName(
        this, QStringLiteral("Export Script"),
        QStringLiteral("Varnix scripts (*.%1);;All files (*)").arg(QLatin1String(script::kExtension)));
    if (path.isEmpty())
        return false;
    const QString file = QFileInfo(path).fileName();
    auto read = script::readScriptFile(path);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        tell(QStringLiteral("Cannot export %1: %2").arg(file, error->describe()));
        return false;
    }
    setSource(std::get<script::Script>(read), QStringLiteral("the script %1").arg(file),
              QFileInfo(path).completeBaseName());
    return true;
}

Language ExportDialog::language() const
{
    return Language(m_cboLanguage->currentData().toInt());
}

void ExportDialog::redraw()
{
    QStringList notes;
    const QString typed = m_txtName->text();
    const QString name = identifierFrom(typed);
    if (name.isEmpty())
        notes << QStringLiteral("Give the function a name: letters, digits and _.");
    else if (name != typed)
        notes << QStringLiteral("\"%1\" is no name a language takes: the function is %2.")
                     .arg(script::escaped(typed), functionName(name));
    const Code code = name.isEmpty()           ? Code{}
        : !m_screensRefusal.isEmpty()          ? Code{{}, m_screensRefusal}
                                               : generate(m_source, language(), name);
    if (!code.ok())
        notes << code.refusal;
    m_code = code.text;
    QString pacing = QStringLiteral("no character paced");
    if (m_source.pacing)
        pacing = QStringLiteral("%1 ms before each \"%2\"")
                     .arg(m_source.startDelay)
                     .arg(script::escaped(QString(*m_source.pacing)));
    notes.prepend(QStringLiteral("For the line chosen under Comm Settings, %1, with %2 at first.")
                      .arg(m_source.lineSettings, pacing));
    m_lblNote->setText(notes.join(u'\n'));
    m_txtCode->setPlainText(m_code);
    m_cmdSaveCode->setEnabled(!m_code.isEmpty());
    m_cmdCopyCode->setEnabled(!m_code.isEmpty());
}

void ExportDialog::save()
{
    if (m_code.isEmpty())
        return;
    const Language lang = language();
    const QString proposed = identifierFrom(m_txtName->text()) + u'.' + suffix(lang);
    const QString path = m_desktop.saveFileName(this, QStringLiteral("Save Code"), proposed,
                                                QStringLiteral("%1 (*.%2);;All files (*)")
                                                    .arg(languageTitle(lang), suffix(lang)));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = m_code.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        tell(QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
}

void ExportDialog::copy()
{
    if (!m_code.isEmpty())
        m_desktop.setClipboardText(m_code);
}

void ExportDialog::tell(const QString& text)
{
    m_desktop.message(this, text, QStringLiteral("Varnix"), {QStringLiteral("OK")});
}

} // namespace varnix::hostcode
