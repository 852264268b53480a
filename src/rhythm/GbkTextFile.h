#pragma once

#include <QString>
#include <QtGlobal>

// Reading and writing the program's GBK text files (rhythm files).
namespace GbkTextFile {

enum class ReadStatus {
    Ok,
    Missing,       // no such regular file
    TooLong,       // longer than the reader takes
    Unreadable,    // could not be opened or read
    NotDecodable,  // bytes that are not GBK text
};

// Reads the whole file, every byte, and decodes it. Files longer than
// maxBytes are not read.
ReadStatus read(const QString &path, qint64 maxBytes, QString *text);

// GBK bytes of the text; characters GBK lacks become "?".
QByteArray encode(const QString &text);

// Replaces the file with the text's GBK bytes. The old file stays untouched
// unless the new one was written completely.
bool write(const QString &path, const QString &text);

}  // namespace GbkTextFile
