#pragma once

#include "notation/NotationPicture.h"

#include <QString>

class QPagedPaintDevice;
class QTextStream;

// Writes the numbered notation into files and onto paper: PDF on A4 pages,
// one tall SVG or PNG picture. Needs a QGuiApplication (fonts), no window.
namespace NotationExport {

enum class Kind { Unknown, Pdf, Svg, Png };

// By the extension, any case.
Kind kindOf(const QString &path);

// The width pictures (SVG, PNG) are laid out for.
constexpr qreal kPictureWidth = 800;

// Paints the picture on pages (A4 PDF, a printer): laid out again for the
// page width, rows never cut, "第n页/共m页" at the foot of every page.
void paintPages(QPagedPaintDevice &device, NotationPicture &picture);

// Writes the file; false with a message for the user when it cannot. The
// picture is laid out again for the file's width.
bool write(const QString &path, NotationPicture &picture, QString *error);

// The command line: reads SCORE, draws it in `beatsPerBar` and writes OUT.
// Exit status 0 written, 1 a score that cannot be read or a file that
// cannot be written, 2 written, but the score has errors (drawn in red).
int renderCommand(const QString &scorePath, const QString &outputPath, int beatsPerBar, QTextStream &out,
                  QTextStream &err);

}  // namespace NotationExport
