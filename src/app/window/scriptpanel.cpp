// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/scriptpanel.h"

#include "board/boardshadow.h"
#include "board/displaycheck.h"
#include "board/firmware.h"
#include "hostcode/exportdialog.h"
#include "link/core/connection.h"
#include "link/core/linesettings.h"
#include "link/core/pause.h"
#include "link/core/reconnector.h"
#include "link/core/serialport.h"
#include "link/portpanel.h"
#include "link/sender.h"
#include "link/terminal.h"
#include "protocol/frames.h"
#include "script/clock.h"
#include "script/escapes.h"
#include "script/recorder.h"
#include "script/script.h"
#include "script/sessionlog.h"
#include "screens/screens.h"
#include "widgets/desktop.h"
#include "widgets/fields.h"
#include "widgets/inputhold.h"
#include "widgets/pagehost.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

namespace varnix {

namespace {

QString fileFilter()
{
    return QStringLiteral("Varnix scripts (*.%1);;All files (*)").arg(QLatin1String(script::kExtension));
}

const char kPictureFilter[] = "PNG pictures (*.png);;All files (*)";

// How the window makes a screen line's picture that is not there.
const char kHowToMakeReference[] = "Save as Reference\u2026 makes it from what the board shows";

// A file name the dialog was given, ".png" added when it has no suffix.
QString withPngSuffix(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".png") : path;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

// The board's error line among its answers, escaped for a message.
QString errorLine(const QString& answer)
{
    const qsizetype start = std::max<qsizetype>(answer.indexOf(QLatin1String(script::Runner::kError)), 0);
    qsizetype end = start;
    while (end < answer.size() && answer[end] != u'\r' && answer[end] != u'\n')
        ++end;
    return script::escaped(QStringView(answer).sliced(start, end - start));
}

QString plural(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

ScriptPanel::ScriptPanel(const Parts& parts, QObject* parent)
    : QObject(parent), m_parts(parts), m_group(new QGroupBox(QStringLiteral("Script"))),
      m_clock(std::make_unique<script::EventLoopClock>())
{
    m_group->setObjectName(QStringLiteral("scriptGroup"));
    m_cmdRecord = button(QStringLiteral("cmdRecord"), QStringLiteral("&Record"), m_group);
    m_cmdRecord->setCheckable(true);
    m_cmdRecord->setToolTip(QStringLiteral("Takes every frame and typed character sent, until pressed again"));
    m_cmdSaveScript = button(QStringLiteral("cmdSaveScript"), QStringLiteral("Save Script\u2026"), m_group);
    m_cmdExport = button(QStringLiteral("cmdExport"), QStringLiteral("Export\u2026"), m_group);
    m_cmdExport->setToolTip(QStringLiteral("Makes the recording or a script into C, Arduino or Python code that "
                                           "sends what a run sends"));
    m_cmdRunScript = button(QStringLiteral("cmdRunScript"), QStringLiteral("Run Script\u2026"), m_group);
    m_cmdStop = button(QStringLiteral("cmdStop"), QStringLiteral("Stop"), m_group);
    m_cmdStop->setEnabled(false);
    m_cmdCompare = button(QStringLiteral("cmdCompare"), QStringLiteral("Compare with &Board"), m_group);
    m_cmdCompare->setToolTip(QStringLiteral("Reads the board's display memory and shows where it differs from "
                                            "what the board should be showing"));
    m_cmdReadBoard = button(QStringLiteral("cmdReadBoard"), QStringLiteral("Read Board into View"), m_group);
    m_cmdReadBoard->setToolTip(QStringLiteral("Reads the board's display memory and shows it as what the board "
                                              "is showing"));
    m_cmdCheckScreen = button(QStringLiteral("cmdCheckScreen"), QStringLiteral("Check screen here"), m_group);
    m_cmdCheckScreen->setToolTip(QStringLiteral("Records a screen line: the board's display now, kept as a picture "
                                                "that a run compares the board with"));
    m_cmdCheckScreen->setEnabled(false);
    m_cmdSaveReference =
        button(QStringLiteral("cmdSaveReference"), QStringLiteral("Save as Reference\u2026"), m_group);
    m_cmdSaveReference->setToolTip(QStringLiteral("Saves the board's display as compared last as the picture of a "
                                                  "screen line"));
    m_cmdSaveReference->setEnabled(false);
    auto* layout = new QVBoxLayout(m_group);
    // Check screen here beside Record, whose recording it adds to.
    auto* recording = new QHBoxLayout;
    recording->addWidget(m_cmdRecord);
    recording->addWidget(m_cmdCheckScreen);
    layout->addLayout(recording);
    // Export beside Save Script: both take what was recorded.
    auto* saving = new QHBoxLayout;
    saving->addWidget(m_cmdSaveScript);
    saving->addWidget(m_cmdExport);
    layout->addLayout(saving);
    for (QPushButton* b : {m_cmdRunScript, m_cmdStop})
        layout->addWidget(b);
    // Save as Reference beside Compare, whose board's display it keeps.
    auto* comparing = new QHBoxLayout;
    comparing->addWidget(m_cmdCompare);
    comparing->addWidget(m_cmdSaveReference);
    layout->addLayout(comparing);
    layout->addWidget(m_cmdReadBoard);
    layout->addStretch(1);

    m_runner = new script::Runner(parts.connection, *m_clock, this);
    m_runner->setStartLine(QString::fromLatin1(board::Firmware::kStartLine));
    // The receive window reads the port, so that the answers show there.
    m_runner->setReader([this] { m_parts.terminal.Timer1_Timer(); });
    m_runner->setTransmit([this](const QString& frame, std::optional<QChar> pacing, std::int32_t delay,
                                 const std::function<void(const link::Progress&)>& progress) {
        return m_parts.sender.sendPart(frame, pacing, delay, progress);
    });
    connect(m_runner, &script::Runner::progress, this,
            [this](const link::Progress& whole) { m_parts.sender.showRunProgress(whole); });
    m_recorder = new script::Recorder(parts.connection, [this] {
        return int(link::pacingDelay(m_parts.portPanel.xmitdelay()->exactText()).value_or(0));
    }, this);
    m_hold = new InputHold(this);

    connect(m_cmdRecord, &QPushButton::toggled, this, &ScriptPanel::cmdRecord_Click);
    connect(m_cmdSaveScript, &QPushButton::clicked, this, &ScriptPanel::cmdSaveScript_Click);
    connect(m_cmdExport, &QPushButton::clicked, this, &ScriptPanel::cmdExport_Click);
    connect(m_cmdRunScript, &QPushButton::clicked, this, &ScriptPanel::cmdRunScript_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &ScriptPanel::cmdStop_Click);
    connect(m_cmdCompare, &QPushButton::clicked, this, &ScriptPanel::cmdCompare_Click);
    connect(m_cmdReadBoard, &QPushButton::clicked, this, &ScriptPanel::cmdReadBoard_Click);
    connect(m_cmdCheckScreen, &QPushButton::clicked, this, &ScriptPanel::cmdCheckScreen_Click);
    connect(m_cmdSaveReference, &QPushButton::clicked, this, &ScriptPanel::cmdSaveReference_Click);

    connect(&parts.portPanel.reconnector(), &link::Reconnector::reconnected, this, [this] { followBoard(true); });
    connect(&parts.connection, &link::Connection::opened, this, [this] {
        m_heardSinceOpen = 0;
        m_startTail.clear();
    });
    connect(&parts.connection, &link::Connection::received, this, &ScriptPanel::watchForStart);
    connect(&parts.connection, &link::Connection::sent, this, [this](const QString& characters, bool transmission) {
        // A cleared display is known again, whatever was on it.
        if (transmission && characters == protocol::clearDisplayFrame().frame)
            setUncertainty({});
    });
}

ScriptPanel::~ScriptPanel() = default;

std::optional<board::Display> ScriptPanel::overDisplay() const
{
    return m_target ? m_target : m_comparison;
}

std::optional<board::Display> ScriptPanel::underDisplay() const
{
    return m_target ? std::nullopt : m_under;
}

void ScriptPanel::dropComparison()
{
    m_comparison.reset();
    m_under.reset();
    m_failedPicture.clear();
    m_cmdSaveReference->setEnabled(false);
}

void ScriptPanel::showComparison(const board::Display& shown, const std::optional<board::Display>& under,
                                 const QString& picture)
{
    m_comparison = shown;
    m_under = under;
    m_failedPicture = picture;
    m_cmdSaveReference->setEnabled(!running());
    emit overDisplayChanged();
}

QString ScriptPanel::pictureFolder() const
{
    return m_lastPictureFolder.isEmpty() ? QDir::homePath() : m_lastPictureFolder;
}

bool ScriptPanel::running() const
{
    return m_runner->running();
}

void ScriptPanel::stop()
{
    m_runner->stop();
}

void ScriptPanel::cmdRecord_Click(bool on)
{
    if (on) {
        m_recorder->start();
        m_screensRecorded = 0;
    } else {
        m_recorder->stop();
    }
    m_cmdCheckScreen->setEnabled(on && !running());
}

void ScriptPanel::cmdSaveScript_Click()
{
    if (m_recorder->isEmpty()) {
        m_parts.host.message(QStringLiteral("Nothing recorded: press Record, then send what the script is to "
                                            "hold."));
        return;
    }
    QString path = m_parts.desktop.saveFileName(m_parts.window, QStringLiteral("Save Script"), QString(),
                                                fileFilter());
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += u'.' + QLatin1String(script::kExtension);
    QSaveFile file(path);
    const QByteArray text = m_recorder->scriptText(QFileInfo(path).absolutePath()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0 || !file.commit())
        m_parts.host.message(QStringLiteral("Could not save %1: %2").arg(path, file.errorString()));
}

void ScriptPanel::cmdExport_Click()
{
    const auto delay = windowDelay();
    if (!delay)
        return;
    // The code sends as the window would: the line settings it shows, which
    // the port takes at its next opening, and its pacing.
    QString line = m_parts.portPanel.List1()->selectedText();
    if (line.isEmpty())
        line = m_parts.connection.port().settings();
    auto* dialog = new hostcode::ExportDialog({m_parts.desktop, line, *delay,
                                               link::pacingCharacter(m_parts.portPanel.waitchr()->exactText()),
                                               screens::exportedPictures},
                                              m_parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!m_recorder->isEmpty()) {
        const auto read = script::readScript(m_recorder->scriptText().toUtf8());
        dialog->setSource(std::get<script::Script>(read), QStringLiteral("a recording"), QStringLiteral("recording"));
    } else if (!dialog->openScript()) {
        delete dialog;
        return;
    }
    dialog->show();
}

std::optional<int> ScriptPanel::windowDelay()
{
    const auto delay = link::pacingDelay(m_parts.portPanel.xmitdelay()->exactText());
    if (!delay)
        m_parts.host.message(QString::fromLatin1(Sender::kNothingToSend));
    return delay;
}

void ScriptPanel::cmdRunScript_Click()
{
    if (running() || !m_parts.host.portGuard())
        return;
    const QString path =
        m_parts.desktop.openFileName(m_parts.window, QStringLiteral("Run Script"), fileFilter());
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    const auto read = script::readScriptFile(path);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        m_parts.host.message(QStringLiteral("Cannot run %1: %2").arg(name, error->describe()));
        return;
    }
    runScript(std::get<script::Script>(read), name);
}

void ScriptPanel::runScript(const script::Script& script, const QString& name)
{
    if (running() || !m_parts.host.portGuard())
        return;
    if (script.frameCount() == 0) {
        m_parts.host.message(QString::fromLatin1(Sender::kNothingToSend));
        return;
    }
    const auto delay = windowDelay();
    if (!delay)
        return;
    const auto pacing = link::pacingCharacter(m_parts.portPanel.waitchr()->exactText());
    // The screen lines' pictures, before anything is sent.
    auto readPictures = screens::References::read(script, false);
    if (const auto* error = std::get_if<script::ReadError>(&readPictures)) {
        m_parts.host.message(QStringLiteral("Cannot run %1: %2").arg(name, error->describe()));
        return;
    }
    const auto references =
        std::make_shared<const screens::References>(std::get<screens::References>(std::move(readPictures)));
    // A failed line's verdict and the board's display it judged.
    std::optional<board::ScreenVerdict> failed;
    std::optional<board::Display> failedShown;
    if (!references->isEmpty()) {
        // Its pictures beside the session log, named after it.
        std::optional<QString> folder;
        QString prefix;
        if (m_parts.log.running()) {
            folder = QFileInfo(m_parts.log.path()).absolutePath();
            prefix = QFileInfo(m_parts.log.path()).completeBaseName() + u'-';
        }
        auto judge = std::make_shared<screens::Judge>(references, folder, prefix, QString::fromUtf8(kHowToMakeReference));
        m_runner->setScreenCheck({board::displayAnswerFinished, [&, judge](const script::Step& step,
                                                                            const QString& answer) {
            const board::ScreenVerdict verdict = (*judge)(step, answer);
            if (verdict.passed())
                return QString();
            failed = verdict;
            failedShown = board::readDisplayAnswer(answer).display;
            return verdict.said;
        }});
    }

    // What it will draw, before anything is sent.
    m_comparison.reset();
    m_target = m_parts.shadow.after(script.frames()).display();
    emit overDisplayChanged();
    const auto settings = link::LineSettings::parse(m_parts.connection.port().settings());
    const auto lineMs = script::lineMilliseconds(script, pacing, *delay, settings ? settings->baudRate : 0);
    const QString question = QStringLiteral("Run %1?\n\nIt sends %2; the line will take about %3.\n"
                                            "The display view shows in red what it will draw.")
                                 .arg(name, plural(script.frameCount(), "frame", "frames"),
                                      script::durationText(lineMs));
    const bool go = m_parts.desktop.question(m_parts.window, question, QStringLiteral("Varnix"))
        && m_parts.host.portGuard();
    script::Runner::Result result;
    if (go)
        result = runInWindow(script, *delay, pacing);
    m_runner->setScreenCheck({});
    m_target.reset();
    emit overDisplayChanged();
    if (!go || m_parts.sender.closing())
        return;

    using Outcome = script::Runner::Outcome;
    QString message;
    switch (result.outcome) {
    case Outcome::Done:
        break;
    case Outcome::NoAnswer:
        message = QStringLiteral("%1 line %2: no \"%3\" came within %4 s; the script stopped there.")
                      .arg(name, QString::number(result.line), QLatin1String(script::Runner::kPrompt),
                           QString::number(script::kReadyTimeoutMs / 1000));
        break;
    case Outcome::BoardError:
        message = QStringLiteral("%1 line %2: the board answered \"%3\"; the script stopped there.")
                      .arg(name, QString::number(result.line), errorLine(result.answer));
        break;
    case Outcome::ExpectTimedOut:
        for (const script::Step& step : script.steps) {
            if (step.line == result.line) {
                message = QStringLiteral("%1 line %2: \"%3\" did not come within %4; the script stopped there.")
                              .arg(name, QString::number(result.line), script::escaped(step.text),
                                   script::durationText(step.milliseconds));
            }
        }
        break;
    case Outcome::Failed:
        message = QString::fromLatin1(Sender::kNothingToSend);
        break;
    case Outcome::ScreenFailed: {
        message = QStringLiteral("%1 line %2: %3; the script stopped there.")
                      .arg(name, QString::number(result.line), result.answer);
        const screens::Picture* picture = references->at(result.line);
        if (!failedShown || !picture)
            break;
        showComparison(*failedShown, picture->display, picture->path);
        if (picture->display)
            message += QStringLiteral("\n\nThe display view shows the board's display over the picture: in red "
                                      "where the board has a dot set, faintly where it has one clear. Save as "
                                      "Reference\u2026 keeps what the board shows as the picture.");
        QStringList kept;
        for (const QString& path : failed->pictures)
            kept << QFileInfo(path).fileName();
        if (!kept.isEmpty())
            message += QStringLiteral("\n\nBeside the session log: %1.").arg(kept.join(QStringLiteral(", ")));
        else if (!m_parts.log.running())
            message += QStringLiteral("\n\nWhile the session log runs (Log\u2026), the board's display and the "
                                      "difference are kept beside it as pictures.");
        break;
    }
    case Outcome::Stopped:
    case Outcome::Lost:
        // Stopped on purpose; a lost device has been told already.
        break;
    }
    if (!message.isEmpty())
        m_parts.host.message(message);
}

script::Runner::Result ScriptPanel::runInWindow(const script::Script& script, int delay,
                                                std::optional<QChar> pacing)
{
    showRunning(true);
    m_parts.sender.beginRun();
    m_hold->hold({m_cmdStop});
    m_parts.pause.setTakesInput(true);
    m_runner->setPacing(pacing);
    const auto result = m_runner->run(script, delay);
    m_parts.pause.setTakesInput(false);
    m_hold->release();
    m_parts.sender.endRun();
    showRunning(false);
    return result;
}

void ScriptPanel::showRunning(bool running)
{
    m_cmdStop->setEnabled(running);
    m_cmdRunScript->setEnabled(!running);
    m_cmdCompare->setEnabled(!running);
    m_cmdReadBoard->setEnabled(!running);
    m_cmdCheckScreen->setEnabled(!running && m_recorder->recording());
    m_cmdSaveReference->setEnabled(!running && m_comparison);
}

void ScriptPanel::cmdStop_Click()
{
    stop();
}

ScriptPanel::BoardRead ScriptPanel::readBoard(int delay)
{
    script::Script read;
    read.steps.append(script::Step{script::Step::Kind::Send, 0, QString::fromLatin1(board::kWholeDisplayRead)});
    // The dump ends the wait, not a prompt the frame before still owed.
    m_runner->setAnswered(board::displayAnswerFinished);
    const auto result = runInWindow(read, delay, link::pacingCharacter(m_parts.portPanel.waitchr()->exactText()));
    m_runner->setAnswered({});
    if (m_parts.sender.closing() || result.outcome == script::Runner::Outcome::Stopped
        || result.outcome == script::Runner::Outcome::Lost)
        return {};
    if (result.outcome == script::Runner::Outcome::Failed)
        return {std::nullopt, QString::fromLatin1(Sender::kNothingToSend)};
    if (const auto shownByBoard = board::displayFromAnswer(result.lastAnswer))
        return {shownByBoard, {}};
    const QString answer = script::escaped(result.lastAnswer.left(80));
    return {std::nullopt, QStringLiteral("The board did not send its display memory; it answered \"%1\".")
                              .arg(answer.isEmpty() ? QStringLiteral("nothing") : answer)};
}

std::optional<ScriptPanel::BoardRead> ScriptPanel::readByHand(bool clearReceived)
{
    if (running() || !m_parts.host.portGuard())
        return std::nullopt;
    const auto delay = windowDelay();
    if (!delay)
        return std::nullopt;
    if (clearReceived)
        m_parts.host.clearReceived();
    return readBoard(*delay);
}

void ScriptPanel::cmdCompare_Click()
{
    const auto asked = readByHand(true);
    if (!asked)
        return;
    const BoardRead& read = *asked;
    if (!read.display) {
        if (!read.failure.isEmpty())
            m_parts.host.message(read.failure);
        return;
    }
    const board::Difference difference = board::compare(m_parts.shadow.firmware().display(), *read.display);
    showComparison(*read.display, std::nullopt, {});
    if (difference.count == 0) {
        m_parts.host.message(QStringLiteral("The board shows what was sent: no pixel differs."));
        return;
    }
    m_parts.host.message(QStringLiteral("Compared with what was sent, %1.\n\n"
                                        "The display view shows them over what the board should be showing: "
                                        "in red where the board has a dot set, faintly where it has one clear.")
                             .arg(difference.describe()));
}

std::optional<board::Display> ScriptPanel::readBoardDisplay()
{
    const auto read = readByHand(true);
    if (!read)
        return std::nullopt;
    if (!read->display && !read->failure.isEmpty())
        m_parts.host.message(read->failure);
    return read->display;
}

void ScriptPanel::followBoardThen(std::function<void(bool read)> done)
{
    m_followed.push_back(std::move(done));
    followBoard(true);
}

void ScriptPanel::cmdCheckScreen_Click()
{
    if (!m_recorder->recording())
        return;
    // The screen line reads the display itself when it runs: this read is
    // not part of the recording.
    m_recorder->stop();
    const auto read = readByHand(true);
    m_recorder->resume();
    if (!read)
        return;
    if (!read->display) {
        if (!read->failure.isEmpty())
            m_parts.host.message(read->failure);
        return;
    }
    const QString proposed =
        QDir(pictureFolder()).filePath(QStringLiteral("screen-%1.png").arg(m_screensRecorded + 1));
    const QString chosen = m_parts.desktop.saveFileName(m_parts.window, QStringLiteral("Check Screen Here"), proposed,
                                                        QLatin1String(kPictureFilter));
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(withPngSuffix(chosen)).absoluteFilePath();
    if (const QString failure = screens::writePicture(*read->display, path); !failure.isEmpty()) {
        m_parts.host.message(failure);
        return;
    }
    m_lastPictureFolder = QFileInfo(path).absolutePath();
    m_recorder->addScreen(path);
    ++m_screensRecorded;
}

void ScriptPanel::cmdSaveReference_Click()
{
    if (!m_comparison)
        return;
    const QString proposed =
        m_failedPicture.isEmpty() ? QDir(pictureFolder()).filePath(QStringLiteral("screen.png")) : m_failedPicture;
    const QString chosen = m_parts.desktop.saveFileName(m_parts.window, QStringLiteral("Save as Reference"), proposed,
                                                        QLatin1String(kPictureFilter));
    if (chosen.isEmpty())
        return;
    const QString path = withPngSuffix(chosen);
    if (const QString failure = screens::writePicture(*m_comparison, path); !failure.isEmpty()) {
        m_parts.host.message(failure);
        return;
    }
    m_lastPictureFolder = QFileInfo(path).absolutePath();
}

void ScriptPanel::cmdReadBoard_Click()
{
    const auto read = readByHand(false);
    if (read && !takeIntoView(*read) && !read->failure.isEmpty())
        m_parts.host.message(read->failure);
}

bool ScriptPanel::takeIntoView(const BoardRead& read)
{
    if (!read.display) {
        if (!read.failure.isEmpty())
            setUncertainty(QStringLiteral("The board did not answer the read of its display memory: it may "
                                          "show something else."));
        return false;
    }
    m_comparison.reset();
    setUncertainty({});
    m_parts.shadow.takeDisplay(*read.display);
    return true;
}

void ScriptPanel::setUncertainty(const QString& why)
{
    if (why == m_uncertainty)
        return;
    m_uncertainty = why;
    emit overDisplayChanged();
}

void ScriptPanel::followBoard(bool reconnected)
{
    if (m_following)
        return;
    m_following = true;
    // Out of the signal that told of the change, then after any send.
    QTimer::singleShot(0, this, [this, reconnected] {
        m_parts.host.whenIdle([this, reconnected] { readAfterChange(reconnected); });
    });
}

void ScriptPanel::readAfterChange(bool reconnected)
{
    if (running() || m_target) {
        // A run is on or being asked about: after it.
        QTimer::singleShot(100, this, [this, reconnected] {
            m_parts.host.whenIdle([this, reconnected] { readAfterChange(reconnected); });
        });
        return;
    }
    if (!m_parts.connection.isOpen() || !m_parts.host.portGuard()) {
        m_following = false;
        tellFollowed(false);
        return;
    }
    const BoardRead read = readBoard(int(link::pacingDelay(m_parts.portPanel.xmitdelay()->exactText())
                                             .value_or(script::kDefaultDelay)));
    m_following = false;
    tellFollowed(read.display.has_value());
    const QString why = reconnected ? QString() : QStringLiteral("The board started again. ");
    if (takeIntoView(read)) {
        m_parts.portPanel.tellAboutBoard(why + QStringLiteral("The display view shows what the board shows."),
                                         reconnected);
    } else if (!read.failure.isEmpty()) {
        m_parts.portPanel.tellAboutBoard(why + QStringLiteral("The board did not answer the read of its display; "
                                                              "the view may differ from it."),
                                         reconnected);
    }
}

void ScriptPanel::tellFollowed(bool read)
{
    // Told once the view has taken the read, below.
    QTimer::singleShot(0, this, [this, read] {
        for (auto& done : std::exchange(m_followed, {}))
            done(read);
    });
}

void ScriptPanel::watchForStart(const QString& characters)
{
    const QLatin1String startLine(board::Firmware::kStartLine);
    const qint64 tailAt = m_heardSinceOpen - m_startTail.size();
    m_startTail += characters;
    m_heardSinceOpen += characters.size();
    const qsizetype found = m_startTail.lastIndexOf(startLine);
    m_startTail = m_startTail.right(startLine.size() - 1);
    if (found >= 0 && tailAt + found > 0)
        followBoard(false);
}

} // namespace varnix
