// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/helpwindow.h"

#include "display/icon.h"

#include "widgets/fields.h"
#include "varnixversion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnix {

namespace {
const char16_t* const kReferenceHead[] = {
    u"COMMANDS and parameters:",
    u"]K CLEARs the display",
    u"]C]xyr CIRCLE at x,y with a radius r",
    u"]S]xyl SQUARE at x,y with l (2 x length of a side)",
    u"]Q]xyl square rotated 45 degrees like a DIAMOND",
    u"]T]xyp STAR with 4 points using dashed lines, p is the size",
    u"]R]x1y1x2y2 RECTANGLE given the top left and bottom rt points",
    u"]B]xylw]b a BAR at xy with (l)ength (w)idth and a (b)yte for fill",
    u"]D]xy SET a dot (pixel) at x,y",
    u"]E]xy RESET/sets a dot at x,y This is an xor function",
    u"]P]xy places an ASCII character at x,y location",
    u"]U]xy places a vertical BYTE at x,y",
    u"]F]byte FILL the display with byte (useful for displaying grids)",
    u"]X]x1x2y]t Draws an X-AXIS with tick marks (t is the tick spacing)",
    u"]Y]y1y2x]t Draws a Y-AXIS with tick marks",
    u"]H]xy]char]char...]@ Horizontal STRING of characters, @ stops it.",
    u"]V]xy]char]char...]@ Vertical STRING of characters",
    u"]L]x1y1x2y2 LINE from x1y1 to x2y2 This is experimental, I\u2019m still working on different algorithms. "
    u"Needs fixing.",
};
const char16_t* const kReferenceTail[] = {
    u"]I]x1x2y1y2]s Draw a straight horiz line with a step",
    u"]J]x1x2y1y2]s Draw a straight vert line with a step",
    u"]M]x1y1x2y2]hh]hh...Place  a given number of bytes on LCD",
    u"]N]x1x2y1y2 Read bytes from LCD",
    u"]O]addr]byte]byte... Write bytes to the external I2C eeprom",
    u"]A]addr]number Read number of bytes from external I2C eeprom",
    u"]G]addr]byte]byte... Write bytes to the internal eeprom",
    u"]W]addr]number Read number of bytes from the internal eeprom",
};

template <std::size_t N>
QString joinLines(const char16_t* const (&lines)[N])
{
    QString text;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0)
            text += QStringLiteral("\r\n");
        text += QString::fromUtf16(lines[i]);
    }
    return text;
}

QLabel* namedLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

// A small drawing of the board: a green circuit board with its LCD.
} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QStringLiteral("Varnix Commands"));
    auto* Label1 = namedLabel("Label1", QStringLiteral("Lumdra  Application Command Line functions"), this);
    QFont titleFont = Label1->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    Label1->setFont(titleFont);
    auto* Label2 = namedLabel("Label2",
                              QStringLiteral("Once the Tessel board starts with the VARNIX.BAS application loaded "
                                             "it displays a logo screen and then waits for serial commands as "
                                             "follows:"),
                              this);
    auto* Label3 = namedLabel("Label3", QStringLiteral("The 'command' key is the ] character followed by parameters "),
                              this);
    m_Text1 = new TextArea(QStringLiteral("Text1"), this);
    m_Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* lblManual = namedLabel(
        "lblManual",
        QStringLiteral("Varnix's own manual: %1")
            .arg(QDir::toNativeSeparators(manualPath(QCoreApplication::applicationDirPath()))),
        this);
    lblManual->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, &HelpWindow::Command1_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    layout->addWidget(m_Text1, 1);
    layout->addWidget(lblManual);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    layout->addLayout(buttons);
    resize(640, 480);
    Form_Load();
}

QString HelpWindow::commandReference()
{
    return joinLines(kReferenceHead) + QStringLiteral("\r\n") + joinLines(kReferenceTail);
}

QString HelpWindow::manualPath(const QString& programDir)
{
    const QString besideProgram =
        QDir::cleanPath(QDir(programDir).filePath(QLatin1String(kDocDirFromProgram) + QStringLiteral("/manual.md")));
    if (QFileInfo::exists(besideProgram))
        return besideProgram;
    return QLatin1String(kInstalledDocDir) + QStringLiteral("/manual.md");
}

void HelpWindow::Form_Load()
{
    m_Text1->setExactText(joinLines(kReferenceHead));
    m_Text1->setExactText(m_Text1->exactText() + QStringLiteral("\r\n") + joinLines(kReferenceTail));
}

void HelpWindow::Command1_Click()
{
    hide();
}

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Tessel Grahic Demo"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(QPixmap::fromImage(programIcon(128)));
    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QPixmap::fromImage(programIcon(32)));
    picIcon->setFixedSize(32, 32);
    auto* lblTitle = new QLabel(QStringLiteral("Varnix Ver %1").arg(QLatin1String(kVersion)), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    lblTitle->setFont(titleFont);
    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    // The licence, and where its whole text is to be read.
    auto* lblLicence = namedLabel("lblLicence",
                                  QStringLiteral("Copyright \u00a9 2026 the Varnix developers.\n"
                                                 "Licensed under the GNU General Public License, version 3 or later.\n"
                                                 "Varnix comes with ABSOLUTELY NO WARRANTY.\n"
                                                 "The licence's text: /usr/share/common-licenses/GPL-3 on Debian,\n"
                                                 "https://www.gnu.org/licenses/gpl-3.0.html anywhere."),
                                  this);
    lblLicence->setWordWrap(false);
    lblLicence->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &AboutWindow::cmdOK_Click);

    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    head->addWidget(picIcon);
    head->addWidget(lblTitle, 1);
    layout->addLayout(head);
    layout->addWidget(Line1);
    layout->addWidget(Picture1, 0, Qt::AlignCenter);
    layout->addWidget(lblLicence);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    layout->addLayout(buttons);
}

void AboutWindow::cmdOK_Click()
{
    close();
}

} // namespace varnix
