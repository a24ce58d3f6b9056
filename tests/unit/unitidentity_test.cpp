#include "unitidentity.h"

#include "table.h"

namespace
{

// The order of two versions, or "-" when they cannot be compared.
Str Order(const Str& left, const Str& right)
{
    int order = 9;
    return UnitIdentity::CompareVersions(left, right, order) ? std::to_string(order) : "-";
}

} // namespace

TEST(UnitIdentity, VersionsAreDottedDecimalNumbersOfAnyLength)
{
    Check({ROW("1 -1 0 0 0 -1 1", Order("2.10.0", "2.9.3"), Order("2.9.3", "2.10.0"),
               Order("2.4", "2.4.0"), Order("2.4.0.0", "2.4"), Order("010.0", "10"),
               Order("2.4", "2.4.0.1"), Order("0.0.1", "0")),
           ROW("1 -1", Order("99999999999999999999.1", "99999999999999999999.0"),
               Order("9999999999999999999", "10000000000000000000")),
           ROW("- - - - - - - - -", Order("", "1"), Order("2.", "2"), Order(".4", "4"),
               Order("2..4", "2.4"), Order("2.4-rc1", "2.4"), Order("v2", "2"), Order(" 2", "2"),
               Order("2", "2 "), Order("2", "+2"))});
}
