#include "Validate.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace {
Currency roundToStep(Currency value, Currency step) {
    // Exact on the raw integer: halves away from zero. A result beyond the Currency range
    // (only possible next to its ends) gives the smallest value, as an overflow does elsewhere.
    const std::uint64_t magnitude =
        value < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const std::uint64_t rounded = (magnitude + step / 2) / step * step;
    const std::uint64_t limit = value < 0 ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    if (rounded > limit)
        return CurrencyMin;
    return value < 0 ? static_cast<Currency>(std::uint64_t(0) - rounded) : static_cast<Currency>(rounded);
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int hexValue(QChar c) {
    if (isDigit(c))
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

bool isBlank(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 32)
            return false;
    return true;
}

// The integer grammar; returns false for text it does not accept.
bool parseInt32(const QString& text, std::int32_t& out) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i >= n)
        return false;

    bool hex = false;
    if (text[i] == u'$' || text[i] == u'x' || text[i] == u'X') {
        hex = true;
        ++i;
    } else if (text[i] == u'0' && i + 1 < n && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false;

    if (hex) {
        std::uint32_t pattern = 0;
        int significant = 0;
        for (; i < n; ++i) {
            const int digit = hexValue(text[i]);
            if (digit < 0)
                return false;
            if (significant > 0 || digit != 0)
                ++significant;
            if (significant > 8)
                return false;
            pattern = (pattern << 4) | static_cast<std::uint32_t>(digit);
        }
        std::int64_t value = static_cast<std::int32_t>(pattern);
        if (negative)
            value = -value;
        out = static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); // -(INT_MIN) wraps, as 32-bit does
        return true;
    }

    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        if (!isDigit(text[i]))
            return false;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > 2147483648LL)
            magnitude = 2147483649LL; // out of range either way; keep it from overflowing
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

// The decimal grammar; on success gives the number as the text would be read into a double.
// The decimal point is always ".": the conversion never looks at the user's locale.
bool parseDouble(const QString& text, double& out) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    std::string number;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
        if (i >= n)
            return false;
    }
    // Decimal exponent of the first significant digit, to tell an overflow from an underflow.
    long long magnitudeDigits = 0;
    bool significant = false;
    number += '0';
    while (i < n && isDigit(text[i])) {
        significant = significant || text[i] != u'0';
        if (significant)
            ++magnitudeDigits;
        number += char(text[i++].unicode());
    }
    number += '.';
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            if (!significant && text[i] == u'0')
                --magnitudeDigits;
            significant = significant || text[i] != u'0';
            number += char(text[i++].unicode());
        }
    }
    number += '0';
    long long exponentValue = 0;
    if (i < n && (text[i] == u'E' || text[i] == u'e')) {
        ++i;
        std::string exponent;
        bool negativeExponent = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            negativeExponent = text[i] == u'-';
            exponent += char(text[i++].unicode());
        }
        qsizetype digits = 0;
        while (i < n && isDigit(text[i])) {
            if (exponentValue < 1000000000LL)
                exponentValue = exponentValue * 10 + (text[i].unicode() - u'0');
            exponent += char(text[i++].unicode());
            ++digits;
        }
        if (digits == 0)
            return false;
        if (negativeExponent)
            exponentValue = -exponentValue;
        number += 'e' + exponent;
    }
    if (i != n)
        return false;
    const char* first = number.data();
    const char* last = first + number.size();
    const auto [end, error] = std::from_chars(first, last, out, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too large becomes infinite (and then the smallest Currency); too small becomes zero.
        const bool overflow = significant && magnitudeDigits + exponentValue > 0;
        const bool negative = number[0] == '-';
        out = overflow ? (negative ? -HUGE_VAL : HUGE_VAL) : (negative ? -0.0 : 0.0);
        return true;
    }
    return error == std::errc() && end == last;
}

Currency doubleToCurrency(double value) {
    const double scaled = value * 10000.0;
    if (!(std::fabs(scaled) < 9223372036854775808.0))
        return CurrencyMin;
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(scaled); // ties to even
    std::fesetround(mode);
    if (!(std::fabs(rounded) < 9223372036854775808.0))
        return CurrencyMin;
    return static_cast<Currency>(rounded);
}
} // namespace

Currency RoundCurrency2(Currency Value) {
    return roundToStep(Value, 100);
}

Currency RoundCurrency3(Currency Value) {
    return roundToStep(Value, 10);
}

Currency RoundCurrency4(Currency Value) {
    return Value;
}

QString TrimControls(const QString& Text) {
    qsizetype first = 0, last = Text.size();
    while (first < last && Text[first].unicode() <= 32)
        ++first;
    while (last > first && Text[last - 1].unicode() <= 32)
        --last;
    return Text.mid(first, last - first);
}

std::int32_t StrToIntInRange(const QString& Text, std::int32_t Min, std::int32_t Max, std::int32_t Default) {
    if (isBlank(Text))
        return 0;
    std::int32_t value = 0;
    if (!parseInt32(Text, value))
        return Default;
    return (value >= Min && value <= Max) ? value : Default;
}

Currency StrToCurrencyInRange(const QString& Text, int Places, Currency Min, Currency Max, Currency Default) {
    if (isBlank(Text))
        return 0;
    double number = 0;
    if (!parseDouble(Text, number))
        return Default;
    const Currency value = doubleToCurrency(number);
    if (value < Min || value > Max)
        return Default;
    switch (Places) {
    case 2: return RoundCurrency2(value);
    case 3: return RoundCurrency3(value);
    case 4: return RoundCurrency4(value);
    default: return value;
    }
}

QString KeepAlphanumeric(const QString& Text) {
    QString result;
    result.reserve(Text.size());
    for (QChar c : Text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        if (isDigit(c) || (c >= u'A' && c <= u'Z'))
            result += c;
    }
    return result;
}

QString FormatCurrency2(Currency Value, QChar DecimalSeparator) {
    const Currency cents = RoundCurrency2(Value) / 100;
    const std::uint64_t magnitude =
        cents < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    QString text = QString::number(magnitude / 100) + DecimalSeparator +
                   QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return cents < 0 ? QStringLiteral("-") + text : text;
}
