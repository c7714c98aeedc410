#include "core/pgstore/Money.h"

#include <cstdio>

namespace pg {

namespace {

constexpr int kIntegerDigits = 15;  // numeric(19,4)
constexpr int kDecimals = 4;

// v * 10 + the digit c; false for a non-digit or past the range of the count.
bool append(std::int64_t& v, char c)
{
    return c >= '0' && c <= '9' && !__builtin_mul_overflow(v, 10, &v)
           && !__builtin_add_overflow(v, c - '0', &v);
}

}  // namespace

std::optional<Money> Money::fromText(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || whole.size() > size_t(kIntegerDigits)
        || fraction.size() > size_t(kDecimals)
        || (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    std::int64_t v = 0;
    for (char c : whole)
        if (!append(v, c)) return std::nullopt;
    for (size_t i = 0; i < size_t(kDecimals); ++i)
        if (!append(v, i < fraction.size() ? fraction[i] : '0')) return std::nullopt;
    return Money{negative ? -v : v};
}

std::string Money::text() const
{
    const std::uint64_t magnitude =
        tenThousandths < 0 ? 0 - std::uint64_t(tenThousandths) : std::uint64_t(tenThousandths);
    char out[32];
    std::snprintf(out, sizeof out, "%s%llu.%04llu", tenThousandths < 0 ? "-" : "",
                  (unsigned long long)(magnitude / 10000), (unsigned long long)(magnitude % 10000));
    return out;
}

}  // namespace pg
