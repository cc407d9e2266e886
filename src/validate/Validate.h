#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

// A fixed-point decimal: the value times 10000 in a signed 64-bit integer.
using Currency = std::int64_t;
constexpr Currency CurrencyScale = 10000;
constexpr Currency CurrencyMin = INT64_MIN;

Currency RoundCurrency2(Currency Value);
Currency RoundCurrency3(Currency Value);
Currency RoundCurrency4(Currency Value);

// Text to a 32-bit integer within [Min, Max]; blank text gives 0, anything unusable gives Default.
std::int32_t StrToIntInRange(const QString& Text, std::int32_t Min, std::int32_t Max, std::int32_t Default);

// Text to a Currency within [Min, Max], then rounded to Places (2, 3 or 4); blank text gives 0.
Currency StrToCurrencyInRange(const QString& Text, int Places, Currency Min, Currency Max, Currency Default);

// Letters upper-cased (ASCII only); everything but 0-9 and A-Z dropped.
QString KeepAlphanumeric(const QString& Text);

// "0.00" formatting: at least one integer digit, two decimals, the given decimal separator.
QString FormatCurrency2(Currency Value, QChar DecimalSeparator);

// Removes leading and trailing characters with codes 32 or less.
QString TrimControls(const QString& Text);
