#include "packagemanifest.h"

#include <cstring>

namespace
{

const char8 manifestDelimiter = ',';
const char8 manifestLineEnd = '\n';
const char8* const sha256FieldPrefix = "sha256:";
const char8 pathSeparator = '/';

// A field is copied as a zero-terminated text: a NUL byte ends it.
StdString fieldOf(std::string_view line, std::size_t first, std::size_t end)
{
    std::string_view field = line.substr(first, end - first);
    field = field.substr(0, field.find('\0'));
    StdString text;
    text.assign(field.data(), field.size());
    return text;
}

// The end of the field that starts at `first`: the next comma, or the line's end.
std::size_t fieldEnd(std::string_view line, std::size_t first)
{
    const std::size_t comma = line.find(manifestDelimiter, first);
    return comma == std::string_view::npos ? line.size() : comma;
}

} // namespace

ManifestReader::ManifestReader(const std::string& text) : m_text(text), m_lineStart(0) {}

bool ManifestReader::Next(ManifestLine& line)
{
    while (m_lineStart < m_text.size()) {
        std::size_t lineEnd = m_text.find(manifestLineEnd, m_lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = m_text.size();
        }
        const std::string_view text(m_text.data() + m_lineStart, lineEnd - m_lineStart);
        m_lineStart = lineEnd + 1;
        if (Split(text.substr(0, text.find('\0')), line)) {
            return true;
        }
    }
    return false;
}

bool ManifestReader::Split(std::string_view line, ManifestLine& entry)
{
    const std::size_t firstComma = line.find(manifestDelimiter);
    if (firstComma == std::string_view::npos) {
        return false;
    }
    const std::size_t secondComma = fieldEnd(line, firstComma + 1);
    entry.name = fieldOf(line, 0, firstComma);
    entry.value = fieldOf(line, firstComma + 1, secondComma);
    entry.digestField.Empty();
    if (secondComma < line.size()) {
        entry.digestField = fieldOf(line, secondComma + 1, fieldEnd(line, secondComma + 1));
        entry.digestField.Trim();
    }
    return !entry.name.IsEmpty();
}

StdString ManifestReader::Sha256Of(const StdString& digestField)
{
    const std::size_t prefix = std::strlen(sha256FieldPrefix);
    return digestField.size() <= prefix ? StdString()
                                        : StdString(digestField.substr(prefix).c_str());
}

StdString ManifestReader::Sha256FieldPrefix()
{
    return sha256FieldPrefix;
}

bool ManifestReader::LeavesImageDirectory(const StdString& name)
{
    return name.find(pathSeparator) != std::string::npos || name == "." || name == "..";
}
