#include "display/ReferenceTraceText.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <vector>

namespace vireon {

namespace {

constexpr std::size_t FieldCount = 6;
// More bands than any layout down to 1 Hz at 1/24 octave holds: a longer
// list is damage, and is refused before it is parsed.
constexpr std::size_t MaxPowers = 1000;
constexpr std::size_t MaxNameLength = 200;

bool IsQuantity(std::string_view Quantity) {
    return Quantity == "Leq" || Quantity == "Fast" || Quantity == "Slow";
}

// Splits at the first FieldCount - 1 separators; the last field keeps the rest.
std::vector<std::string_view> Fields(std::string_view Text) {
    std::vector<std::string_view> Result;
    while (Result.size() + 1 < FieldCount) {
        const std::size_t End = Text.find(';');
        if (End == std::string_view::npos)
            break;
        Result.push_back(Text.substr(0, End));
        Text.remove_prefix(End + 1);
    }
    Result.push_back(Text);
    return Result;
}

template <typename Number> bool ParseWhole(std::string_view Text, Number& Value) {
    const char* End = Text.data() + Text.size();
    const auto [Stop, Error] = std::from_chars(Text.data(), End, Value);
    return Error == std::errc() && Stop == End && !Text.empty();
}

bool ParsePower(std::string_view Item, std::pair<std::int32_t, double>& Power) {
    const std::size_t Colon = Item.find(':');
    if (Colon == std::string_view::npos)
        return false;
    return ParseWhole(Item.substr(0, Colon), Power.first) &&
           ParseWhole(Item.substr(Colon + 1), Power.second) && std::isfinite(Power.second) &&
           Power.second >= 0.0;
}

bool ParsePowers(std::string_view Text, std::vector<std::pair<std::int32_t, double>>& Powers) {
    for (;;) {
        if (Powers.size() == MaxPowers)
            return false;
        const std::size_t End = Text.find(',');
        std::pair<std::int32_t, double> Power;
        if (!ParsePower(Text.substr(0, End), Power))
            return false;
        Powers.push_back(Power);
        if (End == std::string_view::npos)
            return true;
        Text.remove_prefix(End + 1);
    }
}

void AppendNumber(std::string& Text, double Value) {
    char Buffer[32];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    Text.append(Buffer, Result.ptr);
}

} // namespace

std::string ReferenceTraceToText(const TReferenceTrace& Trace) {
    std::string Text = WeightingName(Trace.Weighting) + ';' + Trace.Quantity + ';' +
                       std::to_string(Trace.StoredFraction) + ';' + (Trace.Visible ? "1" : "0") +
                       ';';
    for (std::size_t Index = 0; Index < Trace.FinePowers.size(); ++Index) {
        if (Index > 0)
            Text += ',';
        Text += std::to_string(Trace.FinePowers[Index].first) + ':';
        AppendNumber(Text, Trace.FinePowers[Index].second);
    }
    return Text + ';' + Trace.Name;
}

std::optional<TReferenceTrace> ReferenceTraceFromText(const std::string& Text, std::string& Why) {
    const std::vector<std::string_view> Field = Fields(Text);
    if (Field.size() != FieldCount) {
        Why = "it does not have the six fields of a trace";
        return std::nullopt;
    }
    TReferenceTrace Trace;
    const auto Weighting = WeightingFromName(std::string(Field[0]));
    if (!Weighting) {
        Why = "its frequency weighting \"" + std::string(Field[0]) + "\" is not A, C or Z";
        return std::nullopt;
    }
    Trace.Weighting = *Weighting;
    if (!IsQuantity(Field[1])) {
        Why = "what it holds, \"" + std::string(Field[1]) + "\", is not Leq, Fast or Slow";
        return std::nullopt;
    }
    Trace.Quantity = Field[1];
    if (!ParseWhole(Field[2], Trace.StoredFraction) ||
        !TBandLayout::IsFraction(Trace.StoredFraction)) {
        Why = "its fraction \"" + std::string(Field[2]) + "\" is not 1, 3, 6, 12 or 24";
        return std::nullopt;
    }
    if (Field[3] != "0" && Field[3] != "1") {
        Why = "whether it is shown, \"" + std::string(Field[3]) + "\", is not 0 or 1";
        return std::nullopt;
    }
    Trace.Visible = Field[3] == "1";
    if (!ParsePowers(Field[4], Trace.FinePowers)) {
        Why = "its band powers are damaged";
        return std::nullopt;
    }
    if (Field[5].empty() || Field[5].size() > MaxNameLength) {
        Why = "it has no name, or one longer than 200 characters";
        return std::nullopt;
    }
    Trace.Name = Field[5];
    return Trace;
}

} // namespace vireon
