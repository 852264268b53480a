#pragma once

#include <QByteArray>
#include <QString>

// The program's own text files (scores, rhythm files, edit files) are GBK
// text with CR LF line ends. Writes that replace a file go through QSaveFile,
// so a failed save never leaves a damaged or half-written file behind.
namespace TextFiles {

// Reads a whole file. Fails (with a Chinese reason) when the file is missing,
// unreadable or larger than maxBytes (when maxBytes >= 0).
bool readBytes(const QString &path, QByteArray *bytes, QString *error, qint64 maxBytes = -1);

// GBK text <-> bytes. decodeGbk never fails: each byte that starts no GBK
// character becomes one U+FFFD, the rest is decoded as usual, and *ok (when
// given) turns false.
QString decodeGbk(const QByteArray &bytes, bool *ok = nullptr);
// Characters GBK cannot hold make *ok false (they are written as '?').
QByteArray encodeGbk(const QString &text, bool *ok = nullptr);

// Joins the lines of a text with nothing between them: a line ends at CR LF
// or at a lone CR; a lone LF is not a line end and stays.
QString joinLines(const QString &text);

// Replaces the file with the bytes, atomically. False with a Chinese reason
// when it could not be written; an existing file is then left as it was.
bool writeBytes(const QString &path, const QByteArray &bytes, QString *error);

}  // namespace TextFiles
