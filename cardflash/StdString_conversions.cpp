#include "StdString.h"

#include <cstdio>
#include <cstdlib>
#include <string>

// The string toolkit's conversions and file I/O, which the tool itself does
// not use: they live in the toolkit's own library.

// strtol and strtoul read exactly what atoi and sscanf("%x") read (blanks,
// sign, "0x" prefix, digits; 0 when there are none) but, unlike them, have a
// defined result for numbers out of range. Only the low 32 bits are kept.
StdString::operator int32()
{
    Normalize();
    if (find('x') == npos) {
        return static_cast<int32>(strtol(c_str(), nullptr, 10));
    }
    return static_cast<int32>(static_cast<uint32>(strtoul(c_str(), nullptr, 16)));
}

StdString::operator double()
{
    return static_cast<double>(static_cast<const StdString&>(*this));
}

StdString::operator double() const
{
    return strtod(c_str(), nullptr);
}

StdString::operator bool()
{
    Normalize();
    return compare("true") == 0 || compare("yes") == 0 || compare("on") == 0 || compare("1") == 0;
}

StdString& StdString::IntToString(int32 value)
{
    Assign(*this, std::to_string(value).c_str());
    return *this;
}

StdString& StdString::DoubleToString(double value)
{
    char8 text[32];
    (void)snprintf(text, sizeof text, "%g", value);
    Assign(*this, text);
    return *this;
}

size_t StdString::ReadFromFile(StdString& filename)
{
    Empty();
    if (filename.IsEmpty()) {
        return 0;
    }
    FILE* file = fopen(filename.c_str(), "r");
    if (file == nullptr) {
        return 0;
    }
    char8 block[4096];
    size_t got = 0;
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        append(block, got);
    }
    (void)fclose(file);
    return size();
}

size_t StdString::WriteToFile(StdString& filename)
{
    if (filename.IsEmpty()) {
        return 0;
    }
    FILE* file = fopen(filename.c_str(), "w");
    if (file == nullptr) {
        return 0;
    }
    size_t written = fwrite(data(), 1, size(), file);
    // Buffered bytes that cannot be flushed were not written after all.
    if (fclose(file) != 0) {
        written = 0;
    }
    return written;
}
