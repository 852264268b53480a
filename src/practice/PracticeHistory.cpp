#include "practice/PracticeHistory.h"

#include "platform/files/DurableSave.h"

#include <QDir>
#include <QFile>

namespace Practice::History {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");
const QByteArray kLineEnd("\r\n");
constexpr int kScoreColumn = 1;
constexpr int kAccuracyColumn = 8;

QString quoted(const QString &field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n'))
        && !field.contains(QLatin1Char('\r')))
        return field;
    QString text = field;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The whole file; false when it exists and cannot be read whole.
bool readAll(const QString &path, QByteArray *bytes, QString *reason)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes->size() != file.size()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

}  // namespace

QString fileName()
{
    return QStringLiteral("练习记录.csv");
}

QString header()
{
    return QStringLiteral("日期,乐谱,方式,速度,音符,命中,错音,漏音,准确率,平均偏差毫秒,偏差标准差毫秒");
}

QString line(const QDateTime &when, const QString &score, const Result &r)
{
    const QStringList columns{
        when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        quoted(score),
        modeCaption(r.mode),
        QString::number(r.speed),
        QString::number(r.notes),
        QString::number(r.hitCount()),
        QString::number(r.wrongCount()),
        QString::number(r.missed),
        oneDecimal(r.accuracy),
        r.timed ? oneDecimal(r.timingMeanMs) : QString(),
        r.timed ? oneDecimal(r.timingSdMs) : QString(),
    };
    return columns.join(QLatin1Char(','));
}

bool append(const QString &folder, const QString &text, QString *reason)
{
    const QString path = QDir(folder).filePath(fileName());
    QByteArray bytes;
    if (!readAll(path, &bytes, reason))
        return false;
    if (bytes.isEmpty())
        bytes = kBom + header().toUtf8() + kLineEnd;
    else if (!bytes.endsWith('\n'))
        bytes += kLineEnd;  // a line someone left open is closed, not joined
    bytes += text.toUtf8() + kLineEnd;
    return DurableSave::write(path, bytes, reason);
}

QStringList fields(const QString &text)
{
    QStringList out;
    QString field;
    bool inQuotes = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
        } else if (c == QLatin1Char(',')) {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    out << field;
    return out;
}

QVector<double> accuracies(const QString &folder, const QString &score)
{
    QVector<double> values;
    QByteArray bytes;
    QString reason;
    if (!readAll(QDir(folder).filePath(fileName()), &bytes, &reason))
        return values;
    if (bytes.startsWith(kBom))
        bytes.remove(0, kBom.size());
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (int i = 1; i < lines.size(); ++i) {
        QString text = lines[i];
        if (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        const QStringList f = fields(text);
        bool ok = false;
        const double accuracy = f.value(kAccuracyColumn).toDouble(&ok);
        if (f.value(kScoreColumn) == score && ok)
            values << accuracy;
    }
    return values;
}

}  // namespace Practice::History
