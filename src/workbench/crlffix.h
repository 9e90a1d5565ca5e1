#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Rewrites 8-bit text so that every line ends with CR LF. Lines are those of the line reader:
// CR LF or a lone CR ends a line, a lone LF stays inside it and becomes CR LF itself, and a last
// line without a terminator gets one. So LF-only and CR-only breaks become CR LF, CR LF stays,
// and a text ending in a lone LF ends in two CR LF. Works on chunks of any size.
class CrLfConverter
{
public:
    void convert(QByteArrayView chunk, QByteArray &out);
    // The terminator of an unterminated last line, if any.
    void finish(QByteArray &out);

private:
    bool m_afterCr = false;  // the previous chunk ended in CR: a leading LF belongs to it
    bool m_lineOpen = false; // bytes written since the last line end
};

QByteArray fixCrLf(QByteArrayView text);

enum class FixCrLfOutcome { Fixed, NotText, Failed };

// Converts the file into a replacement beside it (see openReplacement) that takes its place in
// one step; the file is untouched unless the result is Fixed. A read-only file fails, and a
// file holding a NUL byte is not text and is left as it is.
FixCrLfOutcome fixCrLfFile(const QString &path);
