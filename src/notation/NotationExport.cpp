#include "notation/NotationExport.h"

#include "platform/DurableSave.h"
#include "score/ScoreFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QTextStream>

namespace NotationExport {

namespace {

QImage pngImage(NotationPicture &picture)
{
    picture.layout(kPictureWidth);
    // Twice the pixels, so the digits stay sharp when the picture is enlarged.
    const qreal ratio = 2;
    QImage image(QSize(int(kPictureWidth * ratio), int(picture.height() * ratio)), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter p(&image);
    picture.paint(p, QRectF(0, 0, kPictureWidth, picture.height()));
    return image;
}

QByteArray svgBytes(NotationPicture &picture, const QString &title)
{
    picture.layout(kPictureWidth);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setTitle(title);
    svg.setDescription(QStringLiteral("简谱"));
    const QSize size(int(kPictureWidth), int(picture.height()));
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(96);
    {
        QPainter p(&svg);
        p.fillRect(QRectF(0, 0, size.width(), size.height()), Qt::white);
        picture.paint(p, QRectF(0, 0, kPictureWidth, picture.height()));
    }
    return buffer.data();
}

QByteArray pdfBytes(NotationPicture &picture, const QString &title)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Quorvane电子琴"));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 15, 12, 15),
                                      QPageLayout::Millimeter));
        paintPages(pdf, picture);
    }
    return buffer.data();
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

void paintPages(QPagedPaintDevice &device, NotationPicture &picture)
{
    QPainter p(&device);
    // Lay out in 96-dpi pixels whatever the device's resolution.
    const qreal scale = device.logicalDpiX() / 96.0;
    p.scale(scale, scale);
    const qreal width = device.width() / scale;
    const qreal height = device.height() / scale;
    picture.layout(width);
    const qreal footer = 24;
    const int perPage = qMax(1, int((height - footer - picture.headerHeight()) / picture.rowHeight()));
    const int perLaterPage = qMax(1, int((height - footer) / picture.rowHeight()));
    const int rows = picture.rowCount();
    const int pages = rows <= perPage ? 1 : 1 + (rows - perPage + perLaterPage - 1) / perLaterPage;
    QFont footFont(QStringLiteral("WenQuanYi Micro Hei"));
    footFont.setPixelSize(10);
    int row = 0;
    for (int page = 0; page < pages; ++page) {
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
        if (pages > 1) {
            p.setFont(footFont);
            p.setPen(Qt::darkGray);
            p.drawText(QRectF(0, height - footer, width, footer), Qt::AlignCenter,
                       QStringLiteral("第%1页/共%2页").arg(page + 1).arg(pages));
        }
    }
}

bool write(const QString &path, NotationPicture &picture, QString *error)
{
    const QString title = QFileInfo(path).completeBaseName();
    QByteArray bytes;
    switch (kindOf(path)) {
    case Kind::Pdf:
        bytes = pdfBytes(picture, title);
        break;
    case Kind::Svg:
        bytes = svgBytes(picture, title);
        break;
    case Kind::Png: {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!pngImage(picture).save(&buffer, "PNG")) {
            *error = QStringLiteral("无法生成PNG图片（乐谱太长，图片过大）。");
            return false;
        }
        break;
    }
    case Kind::Unknown:
        *error = QStringLiteral("不支持文件“%1”的类型。请使用扩展名 .pdf、.svg 或 .png。")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    QString reason;
    if (!DurableSave::write(path, bytes, &reason)) {
        *error = QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    return true;
}

int renderCommand(const QString &scorePath, const QString &outputPath, int beatsPerBar, QTextStream &out,
                  QTextStream &err)
{
    QString score;
    QString error;
    if (!ScoreFiles::readScore(scorePath, &score, &error)) {
        err << QStringLiteral("乐谱文件“%1”：%2").arg(QDir::toNativeSeparators(scorePath), error) << Qt::endl;
        return 1;
    }
    // The start-up settings: key C, 90 beats per minute.
    Notation::Options options;
    options.beatsPerBar = beatsPerBar;
    options.tempo = 90;
    NotationPicture picture;
    NotationPicture::Header header;
    header.title = QFileInfo(scorePath).completeBaseName();
    picture.setSheet(Notation::read(score, options), header);
    if (!write(outputPath, picture, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    const Notation::Sheet &sheet = picture.sheet();
    const QString output = QDir::toNativeSeparators(outputPath);
    if (sheet.errorCount > 0) {
        err << QStringLiteral("乐谱中出现错误，请修改！第%1个字符起无法识别，共%2处错误，已在简谱中用红色标出。")
                   .arg(sheet.firstErrorPosition)
                   .arg(sheet.errorCount)
            << Qt::endl
            << QStringLiteral("简谱已导出到“%1”。").arg(output) << Qt::endl;
        return 2;
    }
    out << QStringLiteral("已导出简谱“%1”：%2小节，%3/4拍。").arg(output).arg(sheet.bars.size()).arg(sheet.beatsPerBar)
        << Qt::endl;
    return 0;
}

}  // namespace NotationExport
