#ifndef STDSTRING_H
#define STDSTRING_H

#include <string>
#include <sys/types.h>

#include "lumo_common.h"

// The tool's string type. Every copy of text from another string or a
// char8 pointer stops at the source's first NUL; a NUL only comes to stand
// inside a StdString through the single-character members, ReadFromFile,
// the buffer members or an inherited std::string operation.
class StdString : public std::string {
public:
    enum { STD_BUF_SIZE = 1024 };
    typedef std::string::iterator StrIter;

    StdString();
    StdString(const StdString& orig);
    StdString(const char8* pOrig);
    StdString(char8* pOrig);
    StdString(char8 c);
    virtual ~StdString();

    StdString& operator=(const StdString& str);
    StdString& operator=(const char8* pOrig);
    StdString& operator=(char8* pOrig);
    StdString& operator=(char8 c);

    StdString& operator+=(const StdString& str);
    StdString& operator+=(const char8* pOrig);
    StdString& operator+=(char8 c);
    StdString operator+(const StdString& str) const;
    StdString operator+(const char8* pOrig) const;
    StdString operator+(char8 c) const;

    ssize_t GetLength() const;
    bool IsEmpty() const;
    void Empty();

    int32 Find(const StdString& str) const;
    int32 Find(char8 inputChar) const;
    int32 Find(const char8* subString) const;
    int32 Find(char8 inputChar, int32 start) const;
    int32 Find(const char8* subString, int32 start) const;
    int32 ReverseFind(char8 inputChar) const;
    int32 ReverseFind(const char8* subString, size_type pos) const;

    StdString Left(int32 count) const;
    StdString Right(int32 count) const;
    StdString Mid(int32 first, int32 count) const;
    StdString Mid(int32 first) const;

    StdString& ToUpper();
    StdString& ToLower();
    StdString& MakeReverse();
    StdString& TrimLeft(char8 removeChar);
    StdString& TrimLeft(const char8* trimStr);
    StdString& TrimLeft();
    StdString& TrimRight(char8 trimChar);
    StdString& TrimRight(const char8* trimStr);
    StdString& TrimRight();
    StdString& Trim();
    StdString& Normalize();
    StdString& Remove(char8 inputChar);

    int32 Replace(char8 oldCh, char8 newCh);
    int32 Replace(const char8* oldStr, const char8* newStr);
    ssize_t Insert(ssize_t index, char8 inChar);
    ssize_t Insert(ssize_t index, const char8* sz);
    ssize_t Delete(ssize_t index, int32 count);

    int32 Compare(const char8* compWith) const;
    int32 CompareNoCase(const char8* compWith) const;

    char8* GetBuffer(int32 minLen);
    void ReleaseBuffer(int32 newLen);
    void Format(const char8* styleFormat, ...) __attribute__((format(printf, 2, 3)));

    // The numeric and truth conversions normalise the string in place
    // (trimmed, lower case) before they read it; explicit, so that no
    // comparison or argument changes a string unasked.
    explicit operator int32();
    // Both forms: with only the const one, a non-const string's conversion
    // to double would be ambiguous against the non-const int32 and bool.
    explicit operator double();
    explicit operator double() const;
    explicit operator bool();
    StdString& IntToString(int32 value);
    StdString& DoubleToString(double value);

    size_t ReadFromFile(StdString& filename);
    size_t WriteToFile(StdString& filename);

private:
    static void Assign(StdString& destination, const char8* pSource);
    static void Assign(StdString& destination, char8* pSource);
    static void Append(StdString& destination, const char8* pSource);
    static void Append(StdString& destination, char8* pSource);
};

#endif
