// An amount of money as the server store keeps it (numeric(19,4)): an exact count of
// ten-thousandths, read from and written as decimal text with a point, never through a
// floating-point number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pg {

struct Money {
    std::int64_t tenThousandths = 0;

    // Reads "-1234.5678", "12", "0.5", "12.3400": an optional minus, 1 to 15 digits, and at
    // most 4 decimals after a point, within ±922337203685477.5807. Anything else (more
    // decimals included: the server would round them away) is nullopt.
    static std::optional<Money> fromText(std::string_view text);
    // Always with 4 decimals: "-1234.5000".
    std::string text() const;
    bool operator==(const Money&) const = default;
};

}  // namespace pg
