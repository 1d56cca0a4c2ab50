// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/terminal.h"

#include "link/core/connection.h"
#include "link/core/receive.h"
#include "link/receiveview.h"
#include "protocol/frames.h"
#include "protocol/textlimit.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace varnix {

namespace {
void setBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}
} // namespace

Terminal::Terminal(PageHost& host, link::Connection& connection, QObject* parent)
    : QObject(parent), m_host(host), m_connection(connection), m_group(new QGroupBox(QStringLiteral("Terminal")))
{
    m_model.setLimit(kReceiveLimit);
    m_rcvText = new ReceiveText(m_model, m_search, m_group);
    m_rcvText->setUndoRedoEnabled(false);
    m_rcvText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // As on a terminal, at the edge: wrapped at words, a long line (an
    // EEPROM read is one of 65,544 digits) is laid out in a time that grows
    // with its square, and every width the view takes lays out all of it.
    m_rcvText->setWordWrapMode(QTextOption::WrapAnywhere);
    m_rcvText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rcvText->setLimit(kReceiveLimit);
    m_rcvHex = new HexView(m_model, m_search, m_group);
    m_rcvHex->hide();
    m_findBar = new FindBar(m_group);
    m_findBar->hide();
    connect(m_rcvText, &TextArea::changed, this, &Terminal::rcvText_Changed);
    m_rcvText->setExactText(QString::fromLatin1(kWaiting));
    m_txmText = new LineField(QStringLiteral("txmText"), QString(), 0, m_group);
    // Replies and frames line up in columns, as on a terminal.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // A terminal's font has neither ligatures nor kerning: shaping its lines
    // changes nothing and was a fifth of what a steady stream cost.
    QFont received = fixed;
    received.setStyleStrategy(QFont::PreferNoShaping);
    m_rcvText->setFont(received);
    m_rcvHex->setFont(fixed);
    m_txmText->setFont(fixed);
    m_Command7 = new QPushButton(QStringLiteral("Copy"), m_group);
    m_Command7->setObjectName(QStringLiteral("Command7"));
    m_cmdClear = new QPushButton(QStringLiteral("C&lear"), m_group);
    m_cmdClear->setObjectName(QStringLiteral("cmdClear"));
    m_cmdClear->setVisible(false);
    m_chkTimes = new QCheckBox(QStringLiteral("Times"), m_group);
    m_chkTimes->setObjectName(QStringLiteral("chkTimes"));
    m_chkHex = new QCheckBox(QStringLiteral("Hex"), m_group);
    m_chkHex->setObjectName(QStringLiteral("chkHex"));
    m_lblXmit = new QLabel(QStringLiteral("Transmit Window Active"), m_group);
    m_lblXmit->setObjectName(QStringLiteral("lblXmit"));
    m_lblXmit->setVisible(false);

    auto* layout = new QGridLayout(m_group);
    layout->addWidget(m_rcvText, 0, 0, 1, 5);
    layout->addWidget(m_rcvHex, 0, 0, 1, 5);
    layout->addWidget(m_findBar, 1, 0, 1, 5);
    layout->addWidget(m_lblXmit, 2, 0, 1, 5);
    layout->addWidget(m_txmText, 3, 0, 1, 5);
    layout->addWidget(m_Command7, 4, 0);
    layout->addWidget(m_cmdClear, 4, 1);
    layout->addWidget(m_chkTimes, 4, 2);
    layout->addWidget(m_chkHex, 4, 3);
    layout->setColumnStretch(4, 1);
    layout->setRowStretch(0, 1);

    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    connect(m_showTimer, &QTimer::timeout, this, [this] { show(kShowAtOnce); });
    m_trimTimer = new QTimer(this);
    m_trimTimer->setSingleShot(true);
    connect(m_trimTimer, &QTimer::timeout, this, &Terminal::trimMemory);
    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    connect(m_searchTimer, &QTimer::timeout, this, &Terminal::searchSome);
    connect(m_chkTimes, &QCheckBox::toggled, m_rcvText, &ReceiveText::setTimesShown);
    connect(m_chkHex, &QCheckBox::toggled, this, &Terminal::showHex);
    connect(m_findBar, &FindBar::queryChanged, this, [this] { searchAgain(); });
    // A step the search has not come far enough for is taken, and shown, by
    // a later slice.
    connect(m_findBar, &FindBar::next, this, [this] {
        m_goToFound = true;
        if (m_search.next())
            showFound();
    });
    connect(m_findBar, &FindBar::previous, this, [this] {
        m_goToFound = true;
        if (m_search.previous())
            showFound();
    });
    connect(m_findBar, &FindBar::closed, this, [this] {
        m_search.clear();
        m_searchTimer->stop();
        m_rcvText->holdPlace(false);
        m_rcvText->showMatches();
        m_rcvHex->viewport()->update();
    });
    auto* find = new QShortcut(QKeySequence::Find, m_group);
    connect(find, &QShortcut::activated, this, &Terminal::openFind);
    auto* findNext = new QShortcut(QKeySequence(Qt::Key_F3), m_group);
    connect(findNext, &QShortcut::activated, this, [this] {
        if (m_findBar->isHidden())
            openFind();
        else
            emit m_findBar->next();
    });
    auto* findPrevious = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), m_group);
    connect(findPrevious, &QShortcut::activated, this, [this] {
        if (m_findBar->isHidden())
            openFind();
        else
            emit m_findBar->previous();
    });

    m_Command1 = new QPushButton(QStringLiteral("&Clear LCD"));
    m_Command1->setObjectName(QStringLiteral("Command1"));

    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setInterval(kPollMs);
    connect(m_Timer1, &QTimer::timeout, this, &Terminal::Timer1_Timer);

    connect(m_Command7, &QPushButton::clicked, this, &Terminal::Command7_Click);
    connect(m_cmdClear, &QPushButton::clicked, this, &Terminal::cmdClear_Click);
    connect(m_Command1, &QPushButton::clicked, this, &Terminal::Command1_Click);
    m_txmText->onKeyPress = [this](QChar key) { txmText_KeyPress(key); };
}

TextArea* Terminal::rcvText() const
{
    return m_rcvText;
}

void Terminal::setPolling(bool on)
{
    if (on)
        m_Timer1->start();
    else
        m_Timer1->stop();
}

bool Terminal::polling() const
{
    return m_Timer1->isActive();
}

void Terminal::showPortOpen(bool open)
{
    setBackground(m_rcvText, open ? QColor(255, 255, 192) : QColor(255, 255, 255));
    setBackground(m_txmText, open ? QColor(192, 255, 192) : QColor(255, 255, 255));
    m_lblXmit->setVisible(open);
    m_cmdClear->setVisible(open);
}

void Terminal::addToButtonRow(QWidget* control)
{
    static_cast<QGridLayout*>(m_group->layout())->addWidget(control, 4, 4);
}

void Terminal::Timer1_Timer()
{
    // A port lost a moment ago still gives what came before the loss.
    const QString received = m_connection.readAll();
    if (received.isEmpty())
        return;
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    m_pending.push_back({link::normaliseLineEnds(received), now.toMSecsSinceEpoch()});
    m_pendingSize += m_pending.back().text.size();
    // A reply after a quiet spell shows at once; a stream, every kShowMs.
    if (!m_lastShown.isValid() || m_lastShown.elapsed() >= kShowMs)
        show(kShowAtOnce);
    else if (!m_showTimer->isActive())
        m_showTimer->start(int(kShowMs - m_lastShown.elapsed()));
}

bool Terminal::skipUnseen()
{
    if (m_pendingSize <= kReceiveLimit)
        return false;
    // Where the cut falls depends only on the newest limit and its slack,
    // which twice the limit holds: only that tail is put together, not the
    // megabytes of a flood at every part.
    const qsizetype tailSize = std::min(m_pendingSize, 2 * kReceiveLimit);
    QString tail;
    tail.reserve(tailSize);
    qsizetype before = m_pendingSize;
    for (const Piece& piece : m_pending) {
        before -= piece.text.size();
        if (before < tailSize)
            tail += QStringView(piece.text).right(std::min(piece.text.size(), tailSize - before));
    }
    const qsizetype cut = protocol::limitCut(tail, 0, kReceiveLimit);
    if (cut == 0)
        return false;
    const qsizetype skip = m_pendingSize - tail.size() + cut;
    m_model.dropAll(skip);
    m_rcvText->dropAll(skip);
    // The text the current match stood in went: the search starts again
    // from the top, and the view stays where it is.
    m_search.textSet(m_model);
    m_goToFound = false;
    if (m_search.active())
        m_searchTimer->start(0);
    qsizetype left = skip;
    while (left > 0) {
        Piece& first = m_pending.front();
        if (first.text.size() > left) {
            first.text.remove(0, left);
            break;
        }
        left -= first.text.size();
        m_pending.erase(m_pending.begin());
    }
    m_pendingSize -= skip;
    return true;
}

void Terminal::show(qsizetype most)
{
    m_showTimer->stop();
    m_lastShown.start();
    if (m_pending.empty())
        return;
    if (m_rcvText->exactText() == QLatin1String(kWaiting))
        m_rcvText->setExactText(QString());
    m_showing = true;
    // A flood is mostly skipped here, the window emptied at once: that is a
    // drop too, whose memory is given back like the others'.
    bool dropped = skipUnseen();
    // The view and the model take the same pieces, so that they keep the
    // same limit at the same places.
    qsizetype budget = most < 0 ? m_pendingSize : most;
    std::size_t done = 0;
    for (; done < m_pending.size() && budget > 0; ++done) {
        Piece& piece = m_pending[done];
        const QString part = piece.text.size() > budget ? piece.text.left(budget) : piece.text;
        const link::ReceiveModel::Cut cut = m_model.append(part, piece.time);
        m_search.textAppended(m_model, cut);
        m_rcvText->receive(part);
        dropped = dropped || cut.cut > 0;
        budget -= part.size();
        m_pendingSize -= part.size();
        if (part.size() < piece.text.size()) {
            piece.text.remove(0, part.size());
            break;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(done));
    m_showing = false;
    // The rest follows once the events that wait have been seen to.
    if (!m_pending.empty())
        m_showTimer->start(0);
    if (m_rcvHex->isVisible())
        m_rcvHex->modelChanged();
    if (m_search.active()) {
        m_rcvText->showMatches();
        showMatchCount();
    }
    if (dropped)
        trimMemory();
}

void Terminal::trimMemory()
{
#ifdef __GLIBC__
    // The text that went leaves free memory behind that glibc keeps; after a
    // flood that is tens of megabytes. Once a second is enough to give it
    // back, at a cost of a millisecond or two.
    if (m_lastTrim.isValid() && m_lastTrim.elapsed() < 1000) {
        // The last drop of a flood is given back too.
        if (!m_trimTimer->isActive())
            m_trimTimer->start(int(1000 - m_lastTrim.elapsed()));
        return;
    }
    m_lastTrim.start();
    malloc_trim(0);
#endif
}

void Terminal::clearReceived()
{
    m_pending.clear();
    m_pendingSize = 0;
    m_rcvText->setExactText(QString());
}

void Terminal::rcvText_Changed()
{
    // Text set or typed rather than received: the model takes it anew.
    if (m_showing)
        return;
    m_model.set(m_rcvText->exactText(), m_rcvText->dropped());
    m_search.textSet(m_model);
    m_goToFound = false;
    if (m_rcvHex->isVisible())
        m_rcvHex->modelChanged();
    if (m_search.active())
        searchSome();
}

void Terminal::openFind()
{
    m_findBar->open();
    if (!m_findBar->field()->text().isEmpty())
        searchAgain();
}

void Terminal::searchAgain(bool goToFound)
{
    const QString query = m_findBar->field()->text();
    m_goToFound = goToFound;
    if (query.isEmpty()) {
        m_search.clear();
        m_searchTimer->stop();
        showFound();
        return;
    }
    const qsizetype near = m_chkHex->isChecked() ? m_rcvHex->topOffset() : m_rcvText->topPosition();
    m_search.setQuery(m_model, query, m_findBar->matchCase() ? Qt::CaseSensitive : Qt::CaseInsensitive,
                      m_chkHex->isChecked(), near);
    // The first slice at once: a short text is searched through before the
    // key returns.
    searchSome();
}

void Terminal::searchSome()
{
    const bool moved = m_search.searchSome(m_model);
    if (!m_search.complete())
        m_searchTimer->start(0);
    if (moved && m_goToFound) {
        showFound();
        return;
    }
    // What this slice found may be in view.
    if (m_chkHex->isChecked())
        m_rcvHex->viewport()->update();
    else
        m_rcvText->showMatches();
    showMatchCount();
}

void Terminal::showFound()
{
    // While a match is shown, arriving text must not scroll it away.
    m_rcvText->holdPlace(m_search.current() >= 0);
    if (m_chkHex->isChecked())
        m_rcvHex->goToCurrent();
    else
        m_rcvText->goToCurrent();
    showMatchCount();
}

void Terminal::showMatchCount()
{
    m_findBar->setCount(m_search.countText());
}

void Terminal::showHex(bool shown)
{
    // The other view takes the place: the end, which it then follows, or
    // the same received byte at the top.
    if (shown) {
        const std::optional<qsizetype> place = m_rcvText->place();
        m_rcvHex->show();
        m_rcvText->hide();
        m_rcvHex->modelChanged();
        if (place)
            m_rcvHex->showOffset(*place);
        else
            m_rcvHex->followEnd();
    } else {
        const std::optional<qsizetype> place = m_rcvHex->place();
        m_rcvText->show();
        m_rcvHex->hide();
        if (place)
            m_rcvText->showPosition(*place);
        else
            m_rcvText->followEnd();
    }
    // The query may read otherwise in the other view; the view stays.
    if (m_search.active())
        searchAgain(false);
}

void Terminal::txmText_KeyPress(QChar key)
{
    // Only keys that make a character reach here; the key still goes into
    // the field afterwards, so what is typed stays visible.
    if (m_connection.isOpen())
        m_connection.writeCharacter(key);
}

void Terminal::cmdClear_Click()
{
    m_txmText->setExactText(QString());
    clearReceived();
}

void Terminal::Command7_Click()
{
    showReceived();
    copyToClipboard(m_host, m_rcvText->exactText());
}

void Terminal::Command1_Click()
{
    guardedSend(m_host, protocol::clearDisplayFrame);
}

} // namespace varnix
