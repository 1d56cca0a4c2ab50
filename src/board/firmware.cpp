// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/firmware.h"

#include "board/drawing.h"
#include "protocol/encodings.h"

#include <algorithm>
#include <utility>

namespace varnix::board {

namespace {

enum class Tail : quint8 { None, Number, Character, Text, Data };

struct Layout {
    int headerDigits;
    Tail tail;
};

// What follows "]" + letter + "]" in each frame.
Layout layoutOf(char letter)
{
    switch (letter) {
    case 'd': case 'e': return {4, Tail::None};
    case 'c': case 's': case 'q': case 't': case 'u': return {6, Tail::None};
    case 'l': case 'n': case 'a': case 'g': return {8, Tail::None};
    case 'f': return {0, Tail::Number};
    case 'x': case 'y': return {6, Tail::Number};
    case 'r': case 'b': case 'i': case 'j': return {8, Tail::Number};
    case 'p': return {4, Tail::Character};
    case 'h': case 'v': return {4, Tail::Text};
    default: return {8, Tail::Data}; // m, o, w
    }
}

// The command letters in lower case, 0 for any other byte.
char commandLetter(char byte)
{
    if (byte >= 'A' && byte <= 'Y')
        return char(byte - 'A' + 'a');
    return byte >= 'a' && byte <= 'y' ? byte : 0;
}

const char* errorText(int error)
{
    // In the order of Firmware::Error.
    static const char* const texts[] = {
        "Error: unknown command\r\n",
        "Error: ] expected\r\n",
        "Error: hex digit expected\r\n",
        "Error: frame cut short\r\n",
        "Error: number expected\r\n",
        "Error: step must be 1 or more\r\n",
        "Error: character missing\r\n",
        "Error: address outside the EEPROM\r\n",
        "Error: block outside the display memory\r\n",
        "Error: end before start\r\n",
    };
    return texts[error];
}

constexpr int largestNumber = 99999;
// A string's cursor stops far off the display rather than overflow.
constexpr int farOff = 4096;

} // namespace

Firmware::Firmware()
    : m_internal(internalEepromSize, char(0xff))
    , m_external(externalEepromSize, char(0xff))
{
}

QByteArray Firmware::banner() const
{
    return QByteArray(kStartLine) + ", virtual Tessel board\r\n" + prompt;
}

QByteArray Firmware::feed(QByteArrayView bytes)
{
    for (char byte : bytes) {
        ++m_read;
        take(byte);
        m_last = byte;
    }
    return std::exchange(m_out, {});
}

QByteArray Firmware::silence()
{
    if (m_state == State::Number && m_numberDigits > 0) {
        execute();
    } else if (m_state == State::CharBracket) {
        m_character = ']';
        execute();
    }
    return std::exchange(m_out, {});
}

void Firmware::take(char byte)
{
    switch (m_state) {
    case State::Idle:
        if (byte == ']')
            m_state = State::Lead;
        break;
    case State::Lead:
        if (byte == ']')
            break;
        if (char letter = commandLetter(byte)) {
            beginFrame(letter);
        } else {
            began(1);
            fail(Error::UnknownCommand);
        }
        break;
    case State::Separator:
        if (byte == ']')
            beginParameters();
        else
            abandon(Error::BracketExpected, byte, Before::Other);
        break;
    case State::Header:
        if (int digit = protocol::hexDigitValue(byte); digit >= 0) {
            m_header = m_header << 4 | quint32(digit);
            if (++m_digits == m_headerDigits)
                headerDone();
        } else {
            notHexDigit(byte, m_digits == 0   ? Before::Bracket
                              : m_digits == 1 ? Before::BracketLetter
                                              : Before::Other);
        }
        break;
    case State::NumberLead:
        expectBracket(byte, State::Number);
        break;
    case State::Number:
        if (byte >= '0' && byte <= '9') {
            if (!m_numberFraction)
                m_number = std::min(m_number * 10 + (byte - '0'), largestNumber);
            ++m_numberDigits;
        } else if (byte == '.' && !m_numberFraction) {
            m_numberFraction = true;
        } else if (m_numberDigits > 0 && (byte == ']' || byte == '\r' || byte == '\n')) {
            execute(1);
            if (byte == ']')
                m_state = State::Lead;
        } else {
            abandon(Error::NumberExpected, byte,
                    m_numberDigits == 0 && !m_numberFraction ? Before::Bracket : Before::Other);
        }
        break;
    case State::CharLead:
        expectBracket(byte, State::Char);
        break;
    case State::Char:
        if (byte == ']') {
            m_state = State::CharBracket;
        } else {
            m_character = byte;
            execute();
        }
        break;
    case State::CharBracket:
        if (byte == ']') {
            m_character = ']';
            execute(1);
            m_state = State::Lead;
        } else {
            abandon(Error::CharacterMissing, byte, Before::Bracket);
        }
        break;
    case State::TextLead:
        expectBracket(byte, State::TextItem);
        break;
    case State::TextItem:
        if (byte == '@') {
            complete();
        } else if (byte >= 'a' && byte <= 'y') {
            // Strings arrive in capitals, so a lower-case letter here is a
            // command that followed an unfinished string.
            abandon(Error::CutShort, byte, Before::Bracket);
        } else {
            drawGlyph(m_display, m_cursorX, m_cursorY, byte);
            if (m_observer.to && m_text.size() < FrameRead::kLongestText)
                m_text += byte;
            if (m_letter == 'h')
                m_cursorX = std::min(m_cursorX + 6, farOff);
            else
                m_cursorY = std::min(m_cursorY + 8, farOff);
            m_state = State::TextLead;
        }
        break;
    case State::DataLead:
        expectBracket(byte, State::DataHigh);
        break;
    case State::DataHigh:
        if (int digit = protocol::hexDigitValue(byte); digit >= 0) {
            m_high = quint8(digit);
            m_state = State::DataLow;
        } else {
            notHexDigit(byte, Before::Bracket);
        }
        break;
    case State::DataLow:
        if (int digit = protocol::hexDigitValue(byte); digit >= 0) {
            storeData(quint8(m_high << 4 | digit));
        } else {
            notHexDigit(byte, Before::BracketLetter);
        }
        break;
    case State::LetterLead:
        // The letter began a new command only if its "]" follows.
        if (byte == ']') {
            fail(Error::CutShort, 3);
            began(2);
            m_letter = m_nextLetter;
            beginParameters();
        } else {
            fail(Error::HexExpected);
        }
        break;
    case State::Skip:
        if (byte == ']')
            m_state = State::SkipLead;
        break;
    case State::SkipLead:
        if (byte == ']')
            break;
        if (char letter = commandLetter(byte); letter == 'k') {
            beginFrame(letter);
        } else if (letter) {
            m_letter = letter;
            m_state = State::SkipLetter;
        } else {
            m_state = State::Skip;
        }
        break;
    case State::SkipLetter:
        if (byte == ']') {
            began(2);
            beginParameters();
        } else {
            m_state = State::Skip;
        }
        break;
    }
}

void Firmware::beginFrame(char letter)
{
    began(1);
    m_letter = letter;
    m_reading = Reading::Letter;
    if (letter == 'k') {
        m_display.clear();
        complete();
    } else {
        m_state = State::Separator;
    }
}

void Firmware::beginParameters()
{
    m_headerDigits = layoutOf(m_letter).headerDigits;
    m_digits = 0;
    m_header = 0;
    m_number = 0;
    m_numberDigits = 0;
    m_numberFraction = false;
    m_reading = Reading::Parameters;
    m_text.clear();
    if (m_headerDigits == 0)
        m_state = State::Number; // "f": its separator is the number's "]"
    else
        m_state = State::Header;
}

void Firmware::headerDone()
{
    switch (layoutOf(m_letter).tail) {
    case Tail::None:
        execute();
        break;
    case Tail::Number:
        m_state = State::NumberLead;
        break;
    case Tail::Character:
        m_state = State::CharLead;
        break;
    case Tail::Text:
        m_cursorX = pair(0);
        m_cursorY = pair(1);
        m_state = State::TextLead;
        break;
    case Tail::Data:
        beginData();
        break;
    }
}

void Firmware::beginData()
{
    m_dataIndex = 0;
    if (m_letter == 'm') {
        const int x1 = pair(0), x2 = pair(1), y1 = pair(2), y2 = pair(3);
        if (const auto error = blockError(x1, x2, y1, y2))
            return fail(*error);
        m_dataFirst = x1;
        m_dataRow = y1;
        m_dataWidth = x2 - x1 + 1;
        m_dataCount = m_dataWidth * (y2 - y1 + 1);
    } else {
        const int size = m_letter == 'o' ? externalEepromSize : internalEepromSize;
        const int first = word(0), last = word(1);
        if (const auto error = rangeError(size, first, last))
            return fail(*error);
        m_dataFirst = first;
        m_dataCount = last - first + 1;
    }
    m_reading = Reading::Data;
    m_state = State::DataLead;
}

void Firmware::storeData(quint8 value)
{
    const int index = m_dataIndex++;
    if (m_letter == 'm') {
        m_display.setByte(m_dataFirst + index % m_dataWidth, m_dataRow + index / m_dataWidth, value);
    } else {
        QByteArray& eeprom = m_letter == 'o' ? m_external : m_internal;
        eeprom.data()[m_dataFirst + index] = char(value);
    }
    if (m_dataIndex == m_dataCount) {
        complete();
    } else {
        m_state = State::DataLead;
    }
}

void Firmware::execute(int back)
{
    if (layoutOf(m_letter).tail == Tail::Number && m_number < 1)
        return fail(Error::BadStep, back);
    if (const auto error = runCommand())
        fail(*error, back);
    else
        complete(back);
}

std::optional<Firmware::Error> Firmware::runCommand()
{
    Display& d = m_display;
    switch (m_letter) {
    case 'c':
        drawCircle(d, pair(0), pair(1), pair(2));
        break;
    case 's': {
        const int x = pair(0), y = pair(1), half = pair(2);
        drawRectangle(d, x - half, y - half, x + half, y + half, 1);
        break;
    }
    case 'q': {
        const int x = pair(0), y = pair(1), size = pair(2);
        drawLine(d, x + size, y, x, y - size);
        drawLine(d, x, y - size, x - size, y);
        drawLine(d, x - size, y, x, y + size);
        drawLine(d, x, y + size, x + size, y);
        break;
    }
    case 't':
        drawStar(d, pair(0), pair(1), pair(2));
        break;
    case 'l': // x1 x2 y1 y2
        drawLine(d, pair(0), pair(2), pair(1), pair(3));
        break;
    case 'd':
        d.setPixel(pair(0), pair(1));
        break;
    case 'e':
        d.togglePixel(pair(0), pair(1));
        break;
    case 'u':
        for (int bit = 0; bit < 8; ++bit)
            d.setPixel(pair(0), pair(1) + bit, (pair(2) >> bit) & 1);
        break;
    case 'r':
        drawRectangle(d, pair(0), pair(2), pair(1), pair(3), m_number);
        break;
    case 'b':
        fillBar(d, pair(0), pair(2), pair(1), pair(3), m_number);
        break;
    case 'i': // at y1, from x1 to x2
        drawLine(d, pair(0), pair(2), pair(1), pair(2), m_number);
        break;
    case 'j': // at x1, from y1 to y2
        drawLine(d, pair(0), pair(2), pair(0), pair(3), m_number);
        break;
    case 'f':
        fillGrid(d, m_number);
        break;
    case 'x':
        drawXAxis(d, pair(0), pair(1), pair(2), m_number);
        break;
    case 'y':
        drawYAxis(d, pair(0), pair(1), pair(2), m_number);
        break;
    case 'p': // the cell is centred on x, y
        drawGlyph(d, pair(0) - 2, pair(1) - 3, m_character);
        break;
    case 'n':
        return readDisplay(pair(0), pair(1), pair(2), pair(3));
    case 'a':
        return readEeprom(m_external, word(0), word(1));
    case 'g':
        return readEeprom(m_internal, word(0), word(1));
    }
    return std::nullopt;
}

std::optional<Firmware::Error> Firmware::readDisplay(int x1, int x2, int y1, int y2)
{
    if (const auto error = blockError(x1, x2, y1, y2))
        return error;
    QByteArray bytes;
    bytes.reserve((x2 - x1 + 1) * (y2 - y1 + 1));
    for (int row = y1; row <= y2; ++row)
        for (int column = x1; column <= x2; ++column)
            bytes += char(m_display.byteAt(column, row));
    m_out += bytes.toHex();
    return std::nullopt;
}

std::optional<Firmware::Error> Firmware::readEeprom(const QByteArray& eeprom, int first, int last)
{
    if (const auto error = rangeError(int(eeprom.size()), first, last))
        return error;
    m_out += eeprom.sliced(first, last - first + 1).toHex();
    return std::nullopt;
}

void Firmware::complete(int back)
{
    ++m_commandsDone;
    m_out += prompt;
    m_state = State::Idle;
    ended(back, std::nullopt);
}

void Firmware::expectBracket(char byte, State next)
{
    if (byte == ']')
        m_state = next;
    else
        abandon(Error::BracketExpected, byte, Before::Other);
}

// A display block's corners: inside the display, each end after its start.
std::optional<Firmware::Error> Firmware::blockError(int x1, int x2, int y1, int y2)
{
    if (x2 >= Display::width || y2 >= Display::rows)
        return Error::BlockOutside;
    if (x2 < x1 || y2 < y1)
        return Error::EndBeforeStart;
    return std::nullopt;
}

// An EEPROM block's addresses: inside its size, the last after the first.
std::optional<Firmware::Error> Firmware::rangeError(int size, int first, int last)
{
    if (first >= size || last >= size)
        return Error::AddressOutside;
    if (last < first)
        return Error::EndBeforeStart;
    return std::nullopt;
}

void Firmware::fail(Error error, int back)
{
    ++m_errors;
    m_out += errorText(int(error));
    m_out += prompt;
    m_state = State::Skip;
    ended(back, error);
}

void Firmware::began(int back)
{
    if (m_observer.to)
        m_observer.to->frameBegan(m_read - 1 - back);
}

void Firmware::ended(int back, std::optional<Error> error)
{
    if (m_observer.to)
        m_observer.to->frameEnded(m_read - 1 - back, frameRead(error, !error));
}

FrameRead Firmware::frameRead(std::optional<Error> error, bool carriedOut) const
{
    FrameRead frame;
    if (error) {
        const QByteArrayView line(errorText(int(*error)));
        frame.error = line.chopped(2).toByteArray();
    }
    if (error != Error::UnknownCommand)
        frame.letter = m_letter;
    if (frame.letter && m_reading != Reading::Letter) {
        const Layout layout = layoutOf(m_letter);
        frame.words = m_letter == 'a' || m_letter == 'g' || m_letter == 'o' || m_letter == 'w';
        const int digits = frame.words ? 4 : 2;
        const int whole = std::min(m_digits, layout.headerDigits) / digits;
        for (int i = 0; i < whole; ++i)
            frame.fields << int((m_header >> (4 * (m_digits - digits * (i + 1)))) & ((1u << (4 * digits)) - 1));
        if (layout.tail == Tail::Number && m_numberDigits > 0)
            frame.number = m_number;
        if (layout.tail == Tail::Character && carriedOut)
            frame.character = m_character;
        frame.text = m_text;
        if (m_reading == Reading::Data) {
            frame.dataStored = m_dataIndex;
            frame.dataExpected = m_dataCount;
        }
    }
    return frame;
}

int Firmware::openingBytes() const
{
    switch (m_state) {
    case State::Lead:
    case State::SkipLead:
        return 1;
    case State::SkipLetter:
        return 2;
    default:
        return 0;
    }
}

// A byte where a hex digit belongs. A "]" begins a new command, and so may a
// command letter right after a "]" of the frame: "]k" at once, any other
// letter once its own "]" follows. Anything else is not a hex digit.
void Firmware::notHexDigit(char byte, Before before)
{
    const char letter = commandLetter(byte);
    if (before == Before::Bracket && letter && letter != 'k') {
        m_nextLetter = letter; // the frame under way is given up either way
        m_state = State::LetterLead;
        return;
    }
    abandon(byte == ']' || (before == Before::Bracket && letter) ? Error::CutShort : Error::HexExpected, byte,
            before);
}

// The frame under way cannot go on with byte. After the error, look for the
// next frame where it may have begun: at byte if it is "]", at the letter
// before it if that came right after a "]" of the frame ("]a]" inside a data
// pair), or at byte itself if it came right after such a "]" ("]k").
void Firmware::abandon(Error error, char byte, Before before)
{
    if (byte == ']') {
        if (char letter = commandLetter(m_last); letter && before == Before::BracketLetter) {
            fail(error, 3);
            began(2);
            m_letter = letter;
            beginParameters();
        } else {
            fail(error, 1);
            m_state = State::Lead;
        }
    } else if (char letter = commandLetter(byte); before == Before::Bracket && letter) {
        fail(error, 2);
        if (letter == 'k') {
            beginFrame(letter);
        } else {
            m_letter = letter;
            m_state = State::SkipLetter;
        }
    } else {
        fail(error);
    }
}

int Firmware::field(int index, int digits) const
{
    const int shift = 4 * (m_headerDigits - digits * (index + 1));
    return int((m_header >> shift) & ((1u << (4 * digits)) - 1));
}

} // namespace varnix::board
