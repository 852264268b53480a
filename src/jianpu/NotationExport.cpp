#include "jianpu/NotationExport.h"

#include "jianpu/BandedPng.h"
#include "platform/files/DurableSave.h"
#include "score/ScoreFiles.h"
#include "score/ScorePlayer.h"
#include "score/ScoreReader.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QMutex>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

namespace NotationExport {

namespace {

constexpr qreal kPngRatio = 2;  // twice the pixels, so the digits stay sharp enlarged
constexpr qreal kFooter = kPageFooter;

void paintFooter(QPainter &p, qreal width, qreal bottom, int page, int pages)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(10);
    p.save();
    p.setFont(font);
    p.setPen(Qt::darkGray);
    p.drawText(QRectF(0, bottom - kFooter, width, kFooter), Qt::AlignCenter,
               QStringLiteral("第%1页/共%2页").arg(page + 1).arg(pages));
    p.restore();
}

// A picture laid out for the picture width, in one or in several pictures.
class Pictures {
public:
    explicit Pictures(NotationPicture &picture) : picture_(picture)
    {
        picture.layout(kPictureWidth);
        const int rows = picture.rowCount();
        if (rows <= kRowsPerPicture) {
            height_ = picture.height();
        } else {
            count_ = (rows + kRowsPerPicture - 1) / kRowsPerPicture;
            height_ = picture.headerHeight() + kRowsPerPicture * picture.rowHeight() + kFooter;
        }
    }

    int count() const { return count_; }
    QSizeF size() const { return QSizeF(kPictureWidth, height_); }

    // What of picture `page` lies in `clip`.
    void paint(QPainter &p, int page, const QRectF &clip) const
    {
        if (count_ == 1) {
            picture_.paint(p, clip);
            return;
        }
        const qreal top = rowsTop(page);
        if (page == 0 && clip.top() < top)
            picture_.paintHeader(p, 0);
        const qreal rowHeight = picture_.rowHeight();
        const int from = qMax(0, int(std::floor((clip.top() - top) / rowHeight)));
        const int to = qMin(rowsOn(page), int(std::ceil((clip.bottom() - top) / rowHeight)));
        for (int k = from; k < to; ++k)
            picture_.paintRow(p, page * kRowsPerPicture + k, top + k * rowHeight);
        if (clip.bottom() > height_ - kFooter)
            paintFooter(p, kPictureWidth, height_, page, count_);
    }

    // Where bands of whole rows begin, in lines of `ratio` device pixels
    // a unit: the header, each row, the foot.
    QVector<int> bandTops(int page, qreal ratio) const
    {
        QVector<int> tops{0};
        const qreal top = rowsTop(page);
        for (int k = 0; k <= rowsOn(page); ++k)
            tops << qRound((top + k * picture_.rowHeight()) * ratio);
        tops << qRound((height_ - kFooter) * ratio);
        return tops;
    }

private:
    qreal rowsTop(int page) const { return page == 0 ? picture_.headerHeight() : kPageTop; }
    int rowsOn(int page) const { return qBound(0, picture_.rowCount() - page * kRowsPerPicture, kRowsPerPicture); }

    NotationPicture &picture_;
    int count_ = 1;
    qreal height_ = 0;
};

// Files replaced together: kept as temporary copies until all are written.
class Files {
public:
    ~Files() { cancel(); }

    QIODevice *open(const QString &path, QString *error)
    {
        QString reason;
        if (DurableSave::checkTarget(path, &reason)) {
            auto file = std::make_unique<QSaveFile>(path);
            if (file->open(QIODevice::WriteOnly)) {
                files_.push_back(std::move(file));
                return files_.back().get();
            }
            reason = file->errorString();
        }
        *error = cannotWrite(path, reason);
        return nullptr;
    }

    // The written files on the disk, or none and the reason.
    bool commit(QString *error)
    {
        for (auto &file : files_) {
            QString reason;
            if (!DurableSave::flushToDisk(*file, &reason)) {
                *error = cannotWrite(file->fileName(), reason);
                cancel();
                return false;
            }
        }
        for (auto &file : files_) {
            if (!file->commit()) {
                *error = cannotWrite(file->fileName(), file->errorString());
                cancel();
                return false;
            }
        }
        files_.clear();
        return true;
    }

    void cancel()
    {
        for (auto &file : files_) {
            file->cancelWriting();
            file->commit();  // removes the temporary copy
        }
        files_.clear();
    }

private:
    static QString cannotWrite(const QString &path, const QString &reason)
    {
        return QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
    }

    std::vector<std::unique_ptr<QSaveFile>> files_;
};

// Passes on what QSvgGenerator writes with every character XML cannot hold
// (control characters of a score or a file name, U+FFFE, U+FFFF) turned
// into U+FFFD: the generator copies text as it is. The text is UTF-8, where
// each such control character is a byte of its own.
class XmlCharacters : public QIODevice {
public:
    explicit XmlCharacters(QIODevice &out) : out_(out) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    // Writes what was held back for the next write.
    bool finish()
    {
        const QByteArray rest = held_;
        held_.clear();
        return rest.isEmpty() || out_.write(rest) == rest.size();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }

    qint64 writeData(const char *data, qint64 size) override
    {
        QByteArray text = held_ + QByteArray::fromRawData(data, size);
        held_.clear();
        QByteArray clean;
        clean.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const quint8 c = quint8(text[i]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                clean += kReplacement;
                continue;
            }
            if (c == 0xEF) {
                // U+FFFE and U+FFFF are EF BF BE and EF BF BF; one split
                // between two writes waits for the rest.
                if (text.size() - i < 3) {
                    held_ = text.mid(i);
                    break;
                }
                if (quint8(text[i + 1]) == 0xBF && (quint8(text[i + 2]) & 0xFE) == 0xBE) {
                    clean += kReplacement;
                    i += 2;
                    continue;
                }
            }
            clean += char(c);
        }
        return out_.write(clean) == clean.size() ? size : -1;
    }

private:
    static constexpr const char *kReplacement = "\xEF\xBF\xBD";

    QIODevice &out_;
    QByteArray held_;
};

bool writePng(QIODevice &out, const Pictures &pictures, int page, BandedPng &png, QString *error)
{
    const QSize pixels(int(kPictureWidth * kPngRatio), int(pictures.size().height() * kPngRatio));
    if (pictures.count() == 1) {
        // One picture, painted whole, as it always was.
        QImage image(pixels, QImage::Format_RGB32);
        if (image.isNull()) {
            *error = QStringLiteral("无法生成PNG图片（内存不足）。");
            return false;
        }
        image.setDevicePixelRatio(kPngRatio);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            pictures.paint(p, 0, QRectF(QPointF(0, 0), pictures.size()));
        }
        if (!image.save(&out, "PNG")) {
            *error = QStringLiteral("无法写入PNG图片：%1").arg(out.errorString());
            return false;
        }
        return true;
    }
    QString reason;
    if (!png.write(out, pixels, kPngRatio, pictures.bandTops(page, kPngRatio),
                   [&](QPainter &p, const QRectF &band) { pictures.paint(p, page, band); }, &reason)) {
        *error = QStringLiteral("无法写入PNG图片：%1").arg(reason);
        return false;
    }
    return true;
}

bool writeSvg(QIODevice &out, const Pictures &pictures, int page, const QString &title, QString *error)
{
    XmlCharacters xml(out);
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&xml);
        svg.setTitle(title);
        svg.setDescription(QStringLiteral("简谱"));
        const QSize size(int(kPictureWidth), int(pictures.size().height()));
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        QPainter p(&svg);
        p.fillRect(QRectF(0, 0, size.width(), size.height()), Qt::white);
        pictures.paint(p, page, QRectF(QPointF(0, 0), pictures.size()));
    }
    if (!xml.finish()) {
        *error = QStringLiteral("无法写入SVG图片：%1").arg(out.errorString());
        return false;
    }
    return true;
}

bool writePdf(QIODevice &out, NotationPicture &picture, const QString &title, const Progress &progress)
{
    QPdfWriter pdf(&out);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("Quorvane电子琴"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 15, 12, 15),
                                  QPageLayout::Millimeter));
    return paintPages(pdf, picture, progress);
}

bool keepGoing(const Progress &progress, int percent)
{
    return !progress || progress(percent);
}

// Writes picture after picture into `outs`. Long PNG pictures are drawn on
// every processor at once, each thread with a picture of its own (fonts are
// not shared between threads); this thread also tells the progress.
bool writePictures(Kind kind, const NotationPicture &picture, const Pictures &pictures,
                   const std::vector<QIODevice *> &outs, const QString &title, const Progress &progress,
                   Result *result)
{
    const int count = int(outs.size());
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> cancelled{false};
    QMutex errorLock;
    QString error;
    int reported = -1;  // by this thread only
    auto report = [&](int percent) {
        if (percent != reported && !keepGoing(progress, reported = percent))
            cancelled = stop = true;
    };
    auto work = [&](const Pictures &own, bool reporting) {
        BandedPng png;
        for (int page = next++; page < count && !stop; page = next++) {
            QString failure;
            const bool written = kind == Kind::Svg ? writeSvg(*outs[size_t(page)], own, page, title, &failure)
                                                   : writePng(*outs[size_t(page)], own, page, png, &failure);
            if (!written) {
                QMutexLocker lock(&errorLock);
                if (error.isEmpty())
                    error = failure;
                stop = true;
            }
            const int finished = ++done;
            if (reporting)
                report(finished * 100 / count);
        }
    };
    report(0);
    const int helpers = kind == Kind::Png && count > 1 && !stop ? qBound(0, QThread::idealThreadCount() - 1, 3) : 0;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < helpers; ++i) {
        threads.emplace_back(QThread::create([&] {
            NotationPicture own;
            own.setSheet(picture.sheet(), picture.header());
            work(Pictures(own), false);
        }));
        threads.back()->start();
    }
    work(pictures, true);
    for (auto &thread : threads)
        thread->wait();
    // The last picture may have been a helper's: say it is done.
    if (!stop)
        report(100);
    result->cancelled = cancelled;
    result->error = error;
    return !stop;
}

}  // namespace

Kind kindOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return Kind::Pdf;
    if (suffix == QLatin1String("svg"))
        return Kind::Svg;
    if (suffix == QLatin1String("png"))
        return Kind::Png;
    return Kind::Unknown;
}

QString unsupportedMessage(const QString &path)
{
    return QStringLiteral("不支持文件“%1”的类型。请使用扩展名 .pdf、.svg 或 .png。").arg(QDir::toNativeSeparators(path));
}

QStringList pictureFiles(const QString &path, int pictures)
{
    if (pictures <= 1)
        return {path};
    const QFileInfo info(path);
    QStringList files;
    for (int n = 1; n <= pictures; ++n)
        files << info.dir().filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    return files;
}

QStringList stalePictures(const QString &path, int pictures)
{
    const QFileInfo info(path);
    const Kind kind = kindOf(path);
    if (kind != Kind::Svg && kind != Kind::Png)
        return {};
    // Nine digits at most: no export writes more pages than that.
    const QRegularExpression numbered(QStringLiteral("^%1-([1-9][0-9]{0,8})\\.%2$")
                                          .arg(QRegularExpression::escape(info.completeBaseName()),
                                               QRegularExpression::escape(info.suffix())));
    const QDir dir = info.dir();
    QMap<int, QString> stale;
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch m = numbered.match(entry);
        if (!m.hasMatch())
            continue;
        const int page = m.captured(1).toInt();
        if (pictures > 1 && page <= pictures)
            continue;
        const QString file = dir.filePath(entry);
        if (QFileInfo(file).isSymLink())
            continue;
        // A file of that name that holds no such picture is not one of ours.
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray start = f.read(512);
        const bool picture = kind == Kind::Png ? start.startsWith("\x89PNG\r\n\x1a\n") : start.contains("<svg");
        if (picture)
            stale.insert(page, file);
    }
    return stale.values();
}

QString removedText(const QStringList &files)
{
    return QStringLiteral("%1（共%2张）").arg(filesText(files)).arg(files.size());
}

QString filesText(const QStringList &files)
{
    if (files.isEmpty())
        return QString();
    const QString first = QStringLiteral("“%1”").arg(QDir::toNativeSeparators(files.first()));
    if (files.size() == 1)
        return first;
    return QStringLiteral("%1至“%2”").arg(first, QDir::toNativeSeparators(files.last()));
}

bool paintPages(QPagedPaintDevice &device, NotationPicture &picture, const Progress &progress)
{
    QPainter p(&device);
    // Lay out in 96-dpi pixels whatever the device's resolution.
    const qreal scale = device.logicalDpiX() / 96.0;
    p.scale(scale, scale);
    const qreal width = device.width() / scale;
    const qreal height = device.height() / scale;
    picture.layout(width);
    const int perPage = qMax(1, int((height - kFooter - picture.headerHeight()) / picture.rowHeight()));
    const int perLaterPage = qMax(1, int((height - kFooter) / picture.rowHeight()));
    const int rows = picture.rowCount();
    const int pages = rows <= perPage ? 1 : 1 + (rows - perPage + perLaterPage - 1) / perLaterPage;
    int row = 0;
    for (int page = 0; page < pages; ++page) {
        if (!keepGoing(progress, page * 100 / pages))
            return false;
        if (page > 0)
            device.newPage();
        qreal top = 0;
        if (page == 0) {
            picture.paintHeader(p, 0);
            top = picture.headerHeight();
        }
        const int count = page == 0 ? perPage : perLaterPage;
        for (int k = 0; k < count && row < rows; ++k, ++row)
            picture.paintRow(p, row, top + k * picture.rowHeight());
        if (pages > 1)
            paintFooter(p, width, height, page, pages);
    }
    return keepGoing(progress, 100);
}

Result write(const QString &path, NotationPicture &picture, const Progress &progress)
{
    Result result;
    const Kind kind = kindOf(path);
    if (kind == Kind::Unknown) {
        result.error = unsupportedMessage(path);
        return result;
    }
    const QString title = QFileInfo(path).completeBaseName();
    Files files;
    if (kind == Kind::Pdf) {
        QIODevice *out = files.open(path, &result.error);
        if (!out)
            return result;
        if (!writePdf(*out, picture, title, progress)) {
            result.cancelled = true;
            return result;
        }
        result.files = {path};
    } else {
        const Pictures pictures(picture);
        const QStringList names = pictureFiles(path, pictures.count());
        std::vector<QIODevice *> outs;
        for (const QString &name : names) {
            outs.push_back(files.open(name, &result.error));
            if (!outs.back())
                return result;
        }
        if (!writePictures(kind, picture, pictures, outs, title, progress, &result))
            return result;
        result.files = names;
    }
    if (!files.commit(&result.error)) {
        result.files.clear();
        return result;
    }
    result.written = true;
    // Only now: a failed export leaves the earlier pictures as they were.
    if (kind != Kind::Pdf) {
        QStringList kept;
        for (const QString &file : stalePictures(path, int(result.files.size()))) {
            QFile f(file);
            if (f.remove())
                result.removed << file;
            else
                kept << QStringLiteral("“%1”（%2）").arg(QDir::toNativeSeparators(file), f.errorString());
        }
        if (!kept.isEmpty())
            result.notice = QStringLiteral("上次导出的同名图片无法删除：%1").arg(kept.join(QStringLiteral("、")));
    }
    return result;
}

int renderCommand(const QString &scorePath, const QString &outputPath, int beatsPerBar, QTextStream &out,
                  QTextStream &err, const Progress &progress, int keyPosition)
{
    QString score;
    QString error;
    if (!ScoreFiles::readScore(scorePath, &score, &error)) {
        err << QStringLiteral("乐谱文件“%1”：%2").arg(QDir::toNativeSeparators(scorePath), error) << Qt::endl;
        return 1;
    }
    // The start-up settings, 90 beats per minute, in the key asked for.
    Notation::Options options;
    options.beatsPerBar = beatsPerBar;
    options.tempo = 90;
    NotationPicture picture;
    NotationPicture::Header header;
    header.title = QFileInfo(scorePath).completeBaseName();
    header.key = Notation::keyText(keyPosition);
    picture.setSheet(Notation::read(score, options), header);
    const Result result = write(outputPath, picture, progress);
    if (result.cancelled) {
        err << QStringLiteral("导出已取消，没有写出文件。") << Qt::endl;
        return 1;
    }
    if (!result.written) {
        err << result.error << Qt::endl;
        return 1;
    }
    if (!result.removed.isEmpty())
        err << QStringLiteral("已删除上次导出留下的同名图片%1。").arg(removedText(result.removed)) << Qt::endl;
    if (!result.notice.isEmpty())
        err << result.notice << Qt::endl;
    const Notation::Sheet &sheet = picture.sheet();
    QString output = filesText(result.files);
    if (result.files.size() > 1)
        output += QStringLiteral("，共%1页").arg(result.files.size());
    // Nothing to play is the player's error, as for every other export.
    if (score.isEmpty()) {
        err << ScorePlayer::errorMessage() << QStringLiteral("乐谱是空的。") << Qt::endl
            << QStringLiteral("简谱已导出到%1。").arg(output) << Qt::endl;
        return 2;
    }
    if (sheet.errorCount > 0) {
        if (sheet.cutPosition > 0)
            err << QStringLiteral("乐谱太长，超过了%1个字符：简谱只画到第%2个字符，后面的部分用红色标出。")
                       .arg(ScoreReader::kMaxScoreLength)
                       .arg(sheet.cutPosition - 1)
                << Qt::endl;
        if (sheet.cutPosition == 0 || sheet.errorCount > 1)
            err << QStringLiteral("乐谱中出现错误，请修改！第%1个字符起无法识别，共%2处错误，已在简谱中用红色标出。")
                       .arg(sheet.firstErrorPosition)
                       .arg(sheet.errorCount)
                << Qt::endl;
        err << QStringLiteral("简谱已导出到%1。").arg(output) << Qt::endl;
        return 2;
    }
    out << QStringLiteral("已导出简谱%1：%2小节，%3/4拍。").arg(output).arg(sheet.bars.size()).arg(sheet.beatsPerBar)
        << Qt::endl;
    return 0;
}

}  // namespace NotationExport
