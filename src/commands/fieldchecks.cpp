// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/fieldchecks.h"

#include "protocol/numbers.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"

#include <limits>
#include <optional>

namespace varnix {

namespace {

enum class Reading {
    LeadingNumber,     // the number the text begins with, 0 when none
    TextNumber,        // the whole text as one number; anything else is refused
    TextNumberOrEmpty, // the same, but an empty text is accepted as it is
};

constexpr double kNoLowerBound = -std::numeric_limits<double>::infinity();

struct LeaveFieldCheck {
    const char* field;
    Reading reading;
    // The value (plus the partner's leading number, where a partner is
    // named) is refused outside low..high; the bounds themselves pass.
    double low;
    double high;
    const char* partner;
    const char* message;
    const char* replacement;
    bool focusBack;
};

constexpr const char* kInvalidValue = "Invalid Value";
constexpr const char* kOutOfBounds = "Out of Bounds Value";
constexpr const char* kOutOfRange = "Out of range";
constexpr const char* kOutOfBoundsLength = "Out of bounds value!";

constexpr LeaveFieldCheck kChecks[] = {
    {"txtrs1", Reading::LeadingNumber, 1, 9, nullptr, "Must be between 1 and 9", "1", false},
    {"txtbarx", Reading::LeadingNumber, 0, 255, nullptr, kInvalidValue, "20", false},
    {"txtbary", Reading::LeadingNumber, 0, 255, nullptr, kInvalidValue, "20", false},
    {"txtXaxisx", Reading::LeadingNumber, 0, 255, nullptr, kInvalidValue, "16", false},
    {"txtXaxisy", Reading::LeadingNumber, 0, 255, nullptr, kInvalidValue, "56", false},
    {"txtXaxisLen", Reading::LeadingNumber, kNoLowerBound, 255, "txtXaxisx", kOutOfBoundsLength, "0", false},
    {"txtYAxisx", Reading::LeadingNumber, 0, 255, nullptr, kInvalidValue, "16", false},
    {"txtYAxisy", Reading::LeadingNumber, 0, 255, nullptr, kInvalidValue, "10", false},
    {"txtYAxisLen", Reading::LeadingNumber, kNoLowerBound, 255, "txtYAxisy", kOutOfBoundsLength, "0", false},
    {"txtDotSingX", Reading::LeadingNumber, 0, 255, nullptr, kOutOfBounds, "64", false},
    {"txtDotSingy", Reading::LeadingNumber, 0, 255, nullptr, kOutOfBounds, "32", false},
    {"txtDotManyx", Reading::LeadingNumber, 0, 255, nullptr, kOutOfBounds, "10", false},
    {"txtDotManyy", Reading::LeadingNumber, 0, 255, nullptr, kOutOfBounds, "30", false},
    {"txtResetx", Reading::LeadingNumber, 0, 255, nullptr, kOutOfBounds, "64", false},
    {"txtResety", Reading::LeadingNumber, 0, 255, nullptr, kOutOfBounds, "32", false},
    {"txtPutByte", Reading::LeadingNumber, 0, 255, nullptr, "Value out of range 0-255 only", "255", false},
    {"txtPutChrx", Reading::TextNumberOrEmpty, 3, 124, nullptr,
     "Invalid Entry. Number must be between 3 and 124", "10", true},
    {"txtPutchry", Reading::TextNumberOrEmpty, 4, 60, nullptr,
     "Invalid Entry. Number must be between 4 and 60", "10", true},
    {"txtVStrX", Reading::TextNumber, 0, 255, nullptr, kOutOfRange, "32", false},
    {"txtVStrY", Reading::TextNumber, 0, 255, nullptr, kOutOfRange, "0", false},
};

// The value the check tests, or nothing when the text is to be refused
// without one (a text that is not one number where the whole text counts).
std::optional<double> valueOf(const LeaveFieldCheck& check, const QString& text, const QString& partnerText)
{
    if (check.reading == Reading::LeadingNumber)
        return protocol::leadingNumber(text) + (check.partner ? protocol::leadingNumber(partnerText) : 0.0);
    return protocol::textNumber(text);
}

bool accepted(const LeaveFieldCheck& check, const QString& text, const QString& partnerText)
{
    if (check.reading == Reading::TextNumberOrEmpty && text.isEmpty())
        return true;
    const std::optional<double> value = valueOf(check, text, partnerText);
    // Written so that a sum without a value (infinity minus infinity) fails.
    return value && *value >= check.low && *value <= check.high;
}

const LeaveFieldCheck* checkOf(const QString& field)
{
    for (const LeaveFieldCheck& check : kChecks) {
        if (field == QLatin1String(check.field))
            return &check;
    }
    return nullptr;
}

void lostFocus(const LeaveFieldCheck& check, PageHost& host, LineField* field, const LineField* partner)
{
    if (accepted(check, field->exactText(), partner ? partner->exactText() : QString()))
        return;
    host.message(QString::fromLatin1(check.message));
    // The refused text is replaced only once the message has been closed.
    field->setExactText(QString::fromLatin1(check.replacement));
    if (check.focusBack && field->isVisible())
        field->setFocus(Qt::OtherFocusReason);
}

} // namespace

std::optional<LeaveFieldRefusal> leaveFieldRefusal(const QString& field, const QString& text,
                                                   const QString& partnerText)
{
    const LeaveFieldCheck* check = checkOf(field);
    if (!check || accepted(*check, text, partnerText))
        return std::nullopt;
    return LeaveFieldRefusal{QString::fromLatin1(check->message), QString::fromLatin1(check->replacement)};
}

void bindLeaveFieldChecks(PageHost& host, QWidget* page)
{
    for (const LeaveFieldCheck& check : kChecks) {
        auto* field = page->findChild<LineField*>(QString::fromLatin1(check.field));
        if (!field)
            continue;
        const LineField* partner =
            check.partner ? page->findChild<LineField*>(QString::fromLatin1(check.partner)) : nullptr;
        onFocusLeft(field, host, [&check, &host, field, partner] { lostFocus(check, host, field, partner); });
    }
}

} // namespace varnix
