#ifndef TABLE_H
#define TABLE_H

// The unit tests' tables: each row an expression, what it gave and what it
// should give.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <sstream>
#include <string>

using namespace std::string_literals;
using Str = std::string;

// Results that need no order among them, each after a space.
template <typename... T> inline Str J(const T&... v)
{
    return ((" " + (std::ostringstream() << v).str()) + ...);
}
// {expression, what it gave, what it should give}; rows run in order.
using Row = std::array<Str, 3>;
#define ROW(want, ...) (Row{#__VA_ARGS__, J(__VA_ARGS__).substr(1), want})
inline void Check(std::initializer_list<Row> rows)
{
    for (const Row& row : rows) {
        EXPECT_EQ(row[1], row[2]) << row[0];
    }
}

#endif
