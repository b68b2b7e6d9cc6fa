#include "analysis/NumberText.h"

#include <charconv>
#include <cmath>

namespace vireon {

void AppendFixed(std::string& Out, double Value, int Decimals) {
    // Rounded first so that a value just below zero is written 0.0, not -0.0.
    const double Scale = std::pow(10.0, Decimals);
    double Rounded = std::round(Value * Scale) / Scale;
    if (Rounded == 0.0)
        Rounded = 0.0;
    char Text[64];
    const auto Result =
        std::to_chars(Text, Text + sizeof Text, Rounded, std::chars_format::fixed, Decimals);
    if (Result.ec == std::errc())
        Out.append(Text, Result.ptr);
}

void AppendInteger(std::string& Out, long long Value) {
    char Text[24];
    const auto Result = std::to_chars(Text, Text + sizeof Text, Value);
    Out.append(Text, Result.ptr);
}

void AppendShortest(std::string& Out, double Value) {
    char Text[400];
    const auto Result = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::fixed);
    if (Result.ec == std::errc())
        Out.append(Text, Result.ptr);
}

} // namespace vireon
