#pragma once

#include "jianpu/NotationPicture.h"

#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;
class QTextStream;

// Writes the numbered notation into files and onto paper: PDF on A4 pages,
// SVG or PNG as one tall picture, or a long score as numbered pictures of
// kRowsPerPicture rows. Needs a QGuiApplication (fonts), no window; may run
// on a thread of its own on a picture of its own.
namespace NotationExport {

enum class Kind { Unknown, Pdf, Svg, Png };

// By the extension, any case.
Kind kindOf(const QString &path);
// What the user is told about a file of any other kind.
QString unsupportedMessage(const QString &path);

// The width pictures (SVG, PNG) are laid out for.
constexpr qreal kPictureWidth = 800;
// The rows one picture holds at most. A longer score takes several, each of
// this many rows (the last fewer) and of the same height, numbered at the
// foot, written beside the chosen name as NAME-1.png, NAME-2.png, …
constexpr int kRowsPerPicture = 50;
// Where the rows of those pictures after the first begin (the first has
// the header there); the foot of each holds "第n页/共m页".
constexpr qreal kPageTop = 12;
constexpr qreal kPageFooter = 24;

// Told the percent done; answers false to cancel.
using Progress = std::function<bool(int percent)>;

// The files of a picture written to `path` that takes `pictures` pictures.
QStringList pictureFiles(const QString &path, int pictures);
// How the files written are named to the user: "“a.png”", or
// "“a-1.png”至“a-12.png”".
QString filesText(const QStringList &files);

// Paints the picture on pages (A4 PDF, a printer): laid out again for the
// page width, rows never cut, "第n页/共m页" at the foot of every page. False
// when cancelled.
bool paintPages(QPagedPaintDevice &device, NotationPicture &picture, const Progress &progress = Progress());

struct Result {
    bool written = false;
    bool cancelled = false;  // nothing written
    QString error;           // for the user, when it failed
    QStringList files;       // written, first page first
    // Numbered pictures of this name that an earlier, longer export left
    // and that are gone now, and what could not be removed (for the user).
    QStringList removed;
    QString notice;
};

// Writes the file or files: all or none. The picture is laid out again for
// the file's width. Once all are in place, the numbered pictures of the same
// name beyond them (all of them, for a single picture) are removed, so that
// no page of an earlier export is taken for one of this.
Result write(const QString &path, NotationPicture &picture, const Progress &progress = Progress());

// Those left-over pictures: NAME-n.EXT, exactly as pictureFiles() names
// them, n past `pictures` (every n when `pictures` is 1), regular files
// holding a picture of that type; by page number.
QStringList stalePictures(const QString &path, int pictures);
// What the user is told about them: "“a-4.png”至“a-9.png”（共6张）".
QString removedText(const QStringList &files);

// The command line: reads SCORE, draws it in `beatsPerBar` with the key of
// `keyPosition` in its header and writes OUT.
// Exit status 0 written, 1 a score that cannot be read, a file that cannot
// be written or a cancel (`progress` answered false), 2 written, but the
// score has errors (drawn in red) or is empty.
int renderCommand(const QString &scorePath, const QString &outputPath, int beatsPerBar, QTextStream &out,
                  QTextStream &err, const Progress &progress = Progress(), int keyPosition = 0);

}  // namespace NotationExport
