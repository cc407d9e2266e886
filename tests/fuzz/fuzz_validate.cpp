// The number routines with arbitrary text and arguments.
#include "FuzzInput.h"
#include "validate/Validate.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto places = in.take<std::int8_t>();
    const auto min = in.take<std::int64_t>();
    const auto max = in.take<std::int64_t>();
    const auto def = in.take<std::int64_t>();
    const auto imin = in.take<std::int32_t>();
    const auto imax = in.take<std::int32_t>();
    const auto idef = in.take<std::int32_t>();
    const QString text = in.utf16(4096);
    const bool blank = TrimControls(text).isEmpty();

    const Currency c = StrToCurrencyInRange(text, places, min, max, def);
    // Blank gives 0; otherwise Default, or a value that passed the range test before rounding,
    // which moves it by less than half a step.
    const __int128 slack = places == 2 ? 50 : places == 3 ? 5 : 0;
    const bool inRange = min <= max && __int128(c) >= __int128(min) - slack && __int128(c) <= __int128(max) + slack;
    FUZZ_CHECK(blank ? c == 0 : (c == def || inRange || c == CurrencyMin));
    const std::int32_t i = StrToIntInRange(text, imin, imax, idef);
    FUZZ_CHECK(blank ? i == 0 : (i == idef || (i >= imin && i <= imax)));

    const QString kept = KeepAlphanumeric(text);
    FUZZ_CHECK(kept.size() <= text.size());
    for (const QChar ch : kept)
        FUZZ_CHECK((ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z'));

    const Currency r2 = RoundCurrency2(min), r3 = RoundCurrency3(min);
    FUZZ_CHECK(r2 % 100 == 0 || r2 == CurrencyMin);
    FUZZ_CHECK(r3 % 10 == 0 || r3 == CurrencyMin);
    FUZZ_CHECK(RoundCurrency4(min) == min);
    (void)FormatCurrency2(def, u',');
    return 0;
}
