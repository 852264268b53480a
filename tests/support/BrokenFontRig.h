#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtEndian>

// Files in `folder` that are no usable sound font, made from a real one
// (`font`, e.g. TimGM6mb) where the kind needs it:
//   "text"    a text file named x.sf2        "empty"    an empty x.sf2
//   "cut"     the font's first half          "missing"  nothing at the path
//   "folder"  a folder named x.sf2           "link"     a link to nothing
//   "smplN"   the font with its sample chunk's size set to N (no samples)
//   "zeros"   the font with every sample zero (silence)
//   "presets" the font with its preset table's size off by one (its
//             samples are fine: only the synthesizer's own reader refuses it)
// Returns the path; empty when the font is needed and not given.
inline QString makeBrokenFont(const QString &folder, const QString &kind, const QString &font = QString())
{
    const QDir dir(folder);
    const QString path = dir.filePath(kind + ".sf2");
    if (kind == "missing")
        return path;
    if (kind == "folder")
        return dir.mkpath(kind + ".sf2") ? path : QString();
    if (kind == "link")
        return QFile::link(dir.filePath("gone.sf2"), path) ? path : QString();
    QByteArray bytes;
    if (kind == "text") {
        bytes = "这不是音色库\n";
    } else if (kind != "empty") {
        QFile whole(font);
        if (font.isEmpty() || !whole.open(QIODevice::ReadOnly))
            return QString();
        bytes = whole.readAll();
        const int smpl = bytes.indexOf("smpl");
        if (smpl < 0)
            return QString();
        if (kind == "cut") {
            bytes.truncate(bytes.size() / 2);
        } else if (kind == "zeros") {
            const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + smpl + 4);
            bytes.replace(smpl + 8, int(size), QByteArray(int(size), '\0'));
        } else if (kind.startsWith("smpl")) {
            qToLittleEndian<quint32>(kind.mid(4).toUInt(), bytes.data() + smpl + 4);
        } else if (kind == "presets") {
            const int phdr = bytes.indexOf("phdr");
            const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + phdr + 4);
            qToLittleEndian<quint32>(size - 1, bytes.data() + phdr + 4);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}
