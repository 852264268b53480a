#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class EditorModel;

// The edit file (".lnk"): GBK text, CR LF line ends, 11 lines per measure:
// the measure header, the five melody row texts (2 characters per step) and
// the five percussion row texts (1 character per step). The measure size is
// taken from the length of the first melody line.
namespace EditFile {

constexpr int kLinesPerMeasure = 11;
constexpr int kMaxLines = 1600;
constexpr qint64 kMaxBytes = 1024 * 1024;  // far more than 1600 lines of an edit

QString saveFilter();  // "乐谱编辑|*.lnk"
QString openFilter();  // "编辑记录|*.lnk"

// The lines of measures 0..MeasureTotal as they stand (JoinRows comes first).
QStringList lines(const EditorModel &model);
// Those lines as the file's bytes. False with a reason when the text holds
// characters GBK cannot store.
bool compose(const EditorModel &model, QByteArray *bytes, QString *error);

// A file's lines: a line ends at CR LF, a lone CR or a lone LF.
QStringList splitLines(const QString &text);

// Takes an edit from a file's text into the model (headers, row texts, the
// cells of all rows, MeasureTotal, MeasureLastStep). A text of more than 1600
// lines, an empty first melody line, a measure size other than 16, 24 or 32
// steps, or more measures than the step tables hold is refused with a reason
// and leaves the model untouched.
bool load(const QString &text, EditorModel &model, QString *error);

// Reads and loads a file; the reason names the file.
bool read(const QString &path, EditorModel &model, QString *error);

}  // namespace EditFile
