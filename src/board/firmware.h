// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace varnix::board {

// A frame as the firmware read it, up to where it ended.
struct FrameRead {
    char letter = 0;       // lower case; 0 when the byte after "]" was no command
    QList<int> fields;     // the hex pairs, or words, read in full, in order
    bool words = false;    // the fields are four-digit words (EEPROM addresses)
    std::optional<int> number;     // a step or tick
    std::optional<char> character; // the character of "p"
    QByteArray text;       // a string's characters, the first kLongestText
    int dataStored = 0;    // bytes a data frame stored
    int dataExpected = 0;  // bytes its block holds, once its corners were read
    QByteArray error;      // the error line without its line break; empty when carried out

    static constexpr qsizetype kLongestText = 256;
};

// Told where the firmware finds each frame, for a view of the line that
// shows the bytes as the board reads them. Places count the bytes fed from
// 0; a frame may turn out to have begun a byte or two before the byte that
// tells so, and to have ended a byte or three before the byte that ends it.
class FirmwareObserver
{
public:
    virtual ~FirmwareObserver() = default;
    // A frame begins with the "]" at `at`.
    virtual void frameBegan(qint64 at) = 0;
    // The frame ended with the byte at `last`: carried out, or refused.
    virtual void frameEnded(qint64 last, const FrameRead& frame) = 0;
};

// The Tessel board running its demonstration firmware. Fed the bytes that
// arrive on its serial line, it draws on its display, keeps its two EEPROMs
// and returns what the board answers.
//
// A value: a copy is an independent board, cheap enough to make one for a
// preview (the EEPROM images are shared until one side writes).
//
// Bytes are read one at a time, so it makes no difference how they are split
// between calls of feed(). Frames that end in a decimal number (the step of
// "r", "b", "i", "j", "f", the tick of "x", "y") or in the character "]" of
// "p" are complete only when the next byte arrives or the line goes quiet:
// call silence() then, as the board's own timeout does.
class Firmware
{
public:
    static constexpr int internalEepromSize = 256;
    static constexpr int externalEepromSize = 0x8000;
    static constexpr char prompt[] = "Ready:\r\n";

    Firmware();

    // What the board sends when it starts, ending with the prompt. Its first
    // line begins with kStartLine.
    QByteArray banner() const;
    static constexpr char kStartLine[] = "Lumdra demo firmware";

    // Reads bytes from the line; returns the answers they produce, often none.
    QByteArray feed(QByteArrayView bytes);

    // No byte has arrived for a while (30 to 50 ms): ends a trailing number
    // or takes a pending "]" as the character of "p". Nothing else ends on
    // silence, since the sender pauses inside frames too.
    QByteArray silence();
    // How long the line must be quiet to count as silence.
    static constexpr int kSilenceMs = 40;

    const Display& display() const { return m_display; }
    // The display memory as read from a board, which may have drawn what
    // this model was never fed.
    void setDisplay(const Display& display) { m_display = display; }

    // Erased bytes read 0xff.
    const QByteArray& internalEeprom() const { return m_internal; }
    const QByteArray& externalEeprom() const { return m_external; }

    // Commands carried out and frames refused so far: a view repaints when
    // either changes. Data frames store their bytes and strings draw their
    // characters as they arrive, before the command counts as done.
    qint64 commandsDone() const { return m_commandsDone; }
    qint64 errors() const { return m_errors; }

    // Told of every frame from now on; null for none. A copy of the board
    // has no observer.
    void setObserver(FirmwareObserver* observer) { m_observer.to = observer; }
    // How many bytes have been fed in all.
    qint64 bytesRead() const { return m_read; }
    // How many of the last bytes read may yet turn out to be the start of a
    // frame ("]", or "]" and a letter), between frames.
    int openingBytes() const;
    // The frame being read, as far as it has come.
    FrameRead frameSoFar() const { return frameRead(std::nullopt, false); }

private:
    enum class State : quint8 {
        Idle,         // between frames; anything but "]" is ignored
        Lead,         // "]" read, a command letter comes next
        Separator,    // letter read, "]" comes next
        Header,       // fixed-width hex pairs or words
        NumberLead,   // "]" before a trailing number
        Number,       // digits of a trailing number
        CharLead,     // "]" before a character
        Char,         // the character
        CharBracket,  // "]" read as the character, or a new frame's lead-in
        TextLead,     // "]" before a string's character or its end "@"
        TextItem,     // a string's character, or "@"
        DataLead,     // "]" before a data byte
        DataHigh,     // first hex digit of a data byte
        DataLow,      // second hex digit
        LetterLead,   // a letter where a hex digit belongs, right after a "]"
        Skip,         // after an error: ignore everything up to a command
        SkipLead,     // "]" read while skipping
        SkipLetter,   // "]" + letter read while skipping
    };

    enum class Error : quint8 {
        UnknownCommand,
        BracketExpected,
        HexExpected,
        CutShort,
        NumberExpected,
        BadStep,
        CharacterMissing,
        AddressOutside,
        BlockOutside,
        EndBeforeStart,
    };

    // What came just before the byte that broke a frame, to find out whether
    // a new command began there.
    enum class Before : quint8 {
        Other,
        Bracket,        // a "]" of the frame's structure
        BracketLetter,  // such a "]" and then a letter (hex digits a-f are letters)
    };

    void take(char byte);
    void beginFrame(char letter);
    void beginParameters();
    void headerDone();
    void beginData();
    void storeData(quint8 value);
    void execute(int back = 0);
    std::optional<Error> runCommand();
    std::optional<Error> readDisplay(int x1, int x2, int y1, int y2);
    std::optional<Error> readEeprom(const QByteArray& eeprom, int first, int last);
    void complete(int back = 0);
    void expectBracket(char byte, State next);
    static std::optional<Error> blockError(int x1, int x2, int y1, int y2);
    static std::optional<Error> rangeError(int size, int first, int last);
    void fail(Error error, int back = 0);
    // A frame begins `back` bytes before the byte being read; or ends there.
    void began(int back);
    void ended(int back, std::optional<Error> error);
    FrameRead frameRead(std::optional<Error> error, bool carriedOut) const;
    void notHexDigit(char byte, Before before);
    void abandon(Error error, char byte, Before before);
    int field(int index, int digits) const;
    int pair(int index) const { return field(index, 2); }
    int word(int index) const { return field(index, 4); }

    // Not copied: a copy is a board of its own that nobody watches.
    struct ObserverSlot {
        FirmwareObserver* to = nullptr;
        ObserverSlot() = default;
        ObserverSlot(const ObserverSlot&) {}
        ObserverSlot& operator=(const ObserverSlot&) { return *this; }
    };

    Display m_display;
    QByteArray m_internal;
    QByteArray m_external;
    QByteArray m_out;
    qint64 m_commandsDone = 0;
    qint64 m_errors = 0;

    State m_state = State::Idle;
    char m_letter = 0;       // lower case
    char m_nextLetter = 0;   // a letter where a hex digit belongs
    char m_last = 0;         // the byte before the one being read
    char m_character = 0;
    int m_headerDigits = 0;  // how many the frame has
    int m_digits = 0;        // how many have arrived
    quint32 m_header = 0;
    int m_number = 0;
    int m_numberDigits = 0;
    bool m_numberFraction = false;
    int m_cursorX = 0;
    int m_cursorY = 0;
    quint8 m_high = 0;
    int m_dataIndex = 0;
    int m_dataCount = 0;
    int m_dataFirst = 0;     // first address, or first column of a block
    int m_dataRow = 0;       // first row of a block
    int m_dataWidth = 0;     // columns of a block

    // What the observer is told.
    enum class Reading : quint8 { Letter, Parameters, Data };
    ObserverSlot m_observer;
    qint64 m_read = 0;
    Reading m_reading = Reading::Letter;
    QByteArray m_text;       // a string's characters, while observed
};

} // namespace varnix::board
