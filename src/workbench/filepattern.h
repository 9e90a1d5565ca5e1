#pragma once

#include <QString>
#include <QStringList>

// The file list's name pattern: "*" any run of characters, "?" one character, several patterns
// separated by ";". Letter case is ignored, and a pattern ending in ".*" also admits names
// without a dot, so "*.*" lists every file.
class FilePattern
{
public:
    explicit FilePattern(const QString &text);
    bool matches(const QString &fileName) const;

private:
    QStringList m_parts;
};
