// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace varnix::board {

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
    void execute();
    std::optional<Error> runCommand();
    std::optional<Error> readDisplay(int x1, int x2, int y1, int y2);
    std::optional<Error> readEeprom(const QByteArray& eeprom, int first, int last);
    void complete();
    void expectBracket(char byte, State next);
    static std::optional<Error> blockError(int x1, int x2, int y1, int y2);
    static std::optional<Error> rangeError(int size, int first, int last);
    void fail(Error error);
    void notHexDigit(char byte, Before before);
    void abandon(Error error, char byte, Before before);
    int field(int index, int digits) const;
    int pair(int index) const { return field(index, 2); }
    int word(int index) const { return field(index, 4); }

    Display m_display;
    QByteArray m_internal;
    QByteArray m_external;
    QByteArray m_out;
    qint64 m_commandsDone = 0;
    qint64 m_errors = 0;

    State m_state = State::Idle;
    char m_letter = 0;       // lower case
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
};

} // namespace varnix::board
