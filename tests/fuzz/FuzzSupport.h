#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <cstddef>
#include <cstdio>
#include <gcrypt.h>
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

inline std::string hexDigest(int algorithm, const std::string& bytes)
{
    unsigned char digest[64];
    gcry_md_hash_buffer(algorithm, digest, bytes.data(), bytes.size());
    std::string text;
    for (unsigned int i = 0; i < gcry_md_get_algo_dlen(algorithm); ++i) {
        text += "0123456789abcdef"[digest[i] >> 4];
        text += "0123456789abcdef"[digest[i] & 0x0f];
    }
    return text;
}

inline std::string withoutLineFeeds(const std::string& content)
{
    std::string text;
    for (char c : content) {
        if (c != '\n') {
            text += c;
        }
    }
    return text;
}

// The checksum text, written out independently of the tool: line feeds
// dropped, nothing to digest gives "EMPTY", the digests stop at the first
// zero byte.
inline std::string definedCheckSumText(const std::string& content)
{
    const std::string text = withoutLineFeeds(content);
    if (text.empty()) {
        return "EMPTY";
    }
    const std::string digested = text.substr(0, text.find('\0'));
    return hexDigest(GCRY_MD_SHA1, digested) + "-" + hexDigest(GCRY_MD_MD5, digested);
}

#endif
