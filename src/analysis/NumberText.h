#pragma once

// Numbers as text for files and labels: '.' always, whatever the C or C++
// locale, as other tools read them back.

#include <string>

namespace vireon {

// Fixed point with Decimals digits; a value that rounds to zero is written
// without a minus sign.
void AppendFixed(std::string& Out, double Value, int Decimals);
void AppendInteger(std::string& Out, long long Value);
// The fewest digits that read back as Value, without an exponent: 31.5, 1000.
void AppendShortest(std::string& Out, double Value);

} // namespace vireon
