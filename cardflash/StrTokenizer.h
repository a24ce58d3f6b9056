#ifndef STRTOKENIZER_H
#define STRTOKENIZER_H

#include <sys/types.h>
#include <vector>

#include "StdString.h"
#include "lumo_common.h"

// Cuts a text into tokens at every occurrence of a delimiter and joins runs
// of tokens back together with that delimiter. Any index outside the list
// gives the empty text or 0.
class StrTokenizer {
public:
    StrTokenizer();
    StrTokenizer(StdString strInput, const StdString& strDelimiter);
    virtual ~StrTokenizer();

    void InitializeTokenizer(StdString strInput, StdString strDelimiter);

    ssize_t GetSize() const;
    bool IsEmpty() const;

    void GetAt(ssize_t nIndex, StdString& str) const;
    void GetAt(ssize_t nIndex, int32& var) const;
    void GetAt(ssize_t nIndex, uint32& var) const;
    void GetAt(ssize_t nIndex, int16& var) const;
    void GetAt(ssize_t nIndex, uint16& var) const;
    void GetAt(ssize_t nIndex, double& var) const;

    StdString operator[](ssize_t nIndex);
    StdString Left(ssize_t nIndex);
    StdString Right(ssize_t nIndex);
    StdString Mid(ssize_t nIndex, ssize_t endIndex);

private:
    StdString Token(ssize_t nIndex) const;
    StdString Join(ssize_t first, ssize_t last) const;

    StdString m_Delimiter;
    std::vector<StdString> m_stra;
};

#endif
