#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <cstddef>
#include <cstdio>
#include <string>

// A text as it can be read in a mismatch report: printable ASCII as it is,
// every other byte escaped, cut after `longest` bytes.
inline std::string shown(const std::string& text, std::size_t longest = 120)
{
    std::string out = "\"";
    for (unsigned char c : text.substr(0, longest)) {
        if (c >= ' ' && c <= '~' && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            (void)std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out + (text.size() > longest ? "\"..." : "\"");
}

#endif
