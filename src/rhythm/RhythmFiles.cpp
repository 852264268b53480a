#include "rhythm/RhythmFiles.h"

#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "platform/dialogs/UserDialogs.h"
#include "platform/files/TextFiles.h"
#include "rhythm/RhythmPattern.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int kFirstJP = 10;
constexpr int kLastJP = 98;

// The first line (ending at CR LF or a lone CR), up to its first comma.
QString firstField(const QString &text)
{
    QString line = text.left(text.indexOf(QLatin1Char('\r')));
    const int comma = int(line.indexOf(QLatin1Char(',')));
    if (comma >= 0)
        line.truncate(comma);
    return line;
}
}  // namespace

RhythmFiles::RhythmFiles(Session &ctx, WindowDisplay &display, RhythmPattern &pattern, QObject *parent)
    : QObject(parent), ctx_(ctx), display_(display), pattern_(pattern)
{
}

int RhythmFiles::File1Index() const
{
    return selected_.isEmpty() ? -1 : int(entries_.indexOf(selected_));
}

QString RhythmFiles::folder() const
{
    return ctx_.recordFolder;
}

QString RhythmFiles::pathOf(const QString &entry) const
{
    return QDir(folder()).filePath(entry);
}

void RhythmFiles::refreshFile1()
{
    QDir dir(folder());
    entries_ = dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (!entries_.contains(selected_))
        selected_.clear();
    emit file1Changed();
}

void RhythmFiles::showFile1()
{
    refreshFile1();
    setFile1Visible(true);
}

void RhythmFiles::hideFile1()
{
    setFile1Visible(false);
}

void RhythmFiles::setFile1Visible(bool visible)
{
    if (visible == file1Visible_)
        return;
    file1Visible_ = visible;
    emit file1VisibleChanged(visible);
}

void RhythmFiles::setLabel11(const QString &text)
{
    label11_ = text;
    emit label11Changed(text);
}

QString RhythmFiles::readWhole(const QString &path) const
{
    QByteArray bytes;
    QString error;
    if (!TextFiles::readBytes(path, &bytes, &error, kMaxFileBytes))
        return QString();
    // A bad byte becomes one replacement character; the rhythm text refuses
    // it only where it is read (the title is never read).
    return TextFiles::decodeGbk(bytes);
}

void RhythmFiles::openFromList(int index)
{
    if (index < 0 || index >= entries_.size())
        return;
    const QString name = entries_.at(index);
    selected_ = name;
    emit file1Changed();
    ctx_.state.RhythmText.clear();
    setLabel11(name);
    // A file that cannot be read leaves the text empty: OpenJZwj refuses it.
    ctx_.state.RhythmText = firstField(readWhole(pathOf(name)));
    pattern_.OpenJZwj();
    hideFile1();
}

void RhythmFiles::openAtStartUp()
{
    refreshFile1();
    if (entries_.isEmpty())
        return;
    const QString name = entries_.first();
    ctx_.state.RhythmText = readWhole(pathOf(name));
    pattern_.OpenJZwj();
    setLabel11(name);
}

bool RhythmFiles::applyJP(int n)
{
    QString text;
    if (!readJPEntry(n, &text))
        return false;
    ctx_.state.RhythmText = text;
    pattern_.OpenJZwj();
    return true;
}

bool RhythmFiles::readJPEntry(int n, QString *text) const
{
    text->clear();
    if (n < kFirstJP || n > kLastJP)
        return false;
    const int index = n - kFirstJP;
    if (index >= entries_.size())
        return false;
    const QString path = pathOf(entries_.at(index));
    if (!QFileInfo::exists(path))
        return false;
    *text = readWhole(path);
    return true;
}

bool RhythmFiles::save()
{
    const QString path = ctx_.dialogs.saveFile(saveFilter(), folder(), true);
    if (path.isEmpty())
        return false;
    display_.LastFilePath = path;
    return SaveJZwj(path);
}

bool RhythmFiles::SaveJZwj(const QString &path)
{
    const QString text = pattern_.composeRhythmText(QFileInfo(path).fileName()) + QStringLiteral("\r\n");
    QString error;
    // Characters GBK lacks (only possible in the title) are written as "?".
    if (TextFiles::writeBytes(path, TextFiles::encodeGbk(text), &error))
        return true;
    ctx_.dialogs.message(QStringLiteral("节奏文件保存失败，请检查文件夹是否存在、磁盘空间和写入权限！\n%1").arg(error));
    return false;
}

void RhythmFiles::deleteSelected()
{
    if (File1Index() < 0)
        return;
    const QString path = pathOf(selected_);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        ctx_.dialogs.message(QStringLiteral("要删除的节奏文件已不存在，列表已刷新！"));
    } else if (!info.isFile() && !info.isSymLink()) {
        ctx_.dialogs.message(QStringLiteral("无法删除这个节奏文件，请检查它是否为只读或正被使用！"));
    } else if (QFile file(path); !file.remove()) {
        ctx_.dialogs.message(
            QStringLiteral("无法删除这个节奏文件，请检查它是否为只读或正被使用！\n%1").arg(file.errorString()));
    }
    refreshFile1();
}
