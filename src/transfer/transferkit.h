// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transfer/blocktext.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace varnix {

class LineField;
class PageHost;
class TextArea;

namespace protocol {
struct FieldText;
struct FrameResult;
} // namespace protocol

// What the EEPROM and LCD memory pages share: reading their numeric fields,
// the order of a block's ends, sending a data block, and the reply capture.
namespace transfer {

constexpr const char* kSelectEeprom = "Please select Internal or External EEprom";
// What the pages call their text areas, which have no caption of their own.
constexpr const char* kTextArea = "Text area";
// Digits an EEPROM address or count field takes.
constexpr int kAddressLimit = 4;

// The field's number when it is one whole number from 0 to the largest an
// address or corner can travel as (2^31 - 1); otherwise a message naming the
// field refuses it.
std::optional<std::int64_t> wholeField(PageHost& host, const protocol::FieldText& field);

// Shows a whole number in the field in four-digit decimal form ("16" becomes
// 0016); any other text stays as typed, for the action to refuse by name.
void rewriteInFourDigits(LineField* field);

// A block whose end address lies below its start would run backwards through
// the whole memory of the board: refused with a message.
bool blockInOrder(PageHost& host, std::int64_t start, std::int64_t end);

// An LCD block's corners X1, X2, Y1, Y2, compared as numbers ("5" lies
// before "127"): refused with a message unless each end lies after its start.
bool cornersInOrder(PageHost& host, const std::array<std::int64_t, 4>& corners);

// The data area's text as Reformat takes it, without the blanks at its ends
// (a view into areaText); or, when its characters do not come in pairs or a
// pair is not two hex digits, nothing and a message saying so. The pairs are
// counted first, so an odd count has its own message whatever it holds.
std::optional<QStringView> pairedText(PageHost& host, const QString& areaText);

// Replaces the area's text by the clipboard's, then runs `done`; says when
// the clipboard held no text.
void pasteInto(PageHost& host, TextArea* area, const std::function<void()>& done = {});

// Sends a write frame, refusing one longer than a transmission takes with a
// message that says so, rather than letting the send fail.
bool sendBlock(PageHost& host, const protocol::FrameResult& frame);

// The read of a block, the same on the EEPROM and the LCD page: the request
// puts the prompt "CLICK HERE" into the target area and empties the receive
// window so that the reply stands alone there; each time the focus leaves the
// page's Read button, capture() takes the reply over into the target.
//
// A capture replaces only what a request or an earlier capture put into the
// target, or an empty target: text typed, pasted or reformatted there since
// is the user's and is kept.
class ReplyCapture : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kPrompt = "CLICK HERE";

    ReplyCapture(PageHost& host, TextArea* target, QObject* parent = nullptr);

    // A refused frame changes nothing and sends nothing.
    void request(const protocol::FrameResult& frame);
    void capture();

private:
    void put(const QString& text);

    PageHost& m_host;
    TextArea* m_target;
    bool m_putting = false;
    bool m_ours = true;
};

} // namespace transfer
} // namespace varnix
