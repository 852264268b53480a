#include "midiport/MidiDeviceList.h"

#include "midiport/SoundFontChoice.h"
#include "platform/dialogs/UserDialogs.h"

#include <QDir>
#include <QFileInfo>

MidiDeviceList::MidiDeviceList(MidiPort &port, QObject *parent) : QObject(parent), port_(port)
{
    connect(&port_, &MidiPort::deviceChanged, this, &MidiDeviceList::followPort);
}

void MidiDeviceList::setSoundFontChoice(SoundFontChoice *choice, UserDialogs *dialogs)
{
    fonts_ = choice;
    dialogs_ = dialogs;
    refreshFonts();
}

bool MidiDeviceList::refresh()
{
    const bool any = port_.ListMidiDevices(&entries_);
    deviceCount_ = int(entries_.size());
    listed_ = true;
    listFonts();
    emit entriesChanged();
    position_ = -2;  // shown afresh
    followPort();
    return any;
}

void MidiDeviceList::refreshFonts()
{
    if (!listed_)
        return;  // refresh() lists them with the devices
    entries_.resize(deviceCount_);
    listFonts();
    emit entriesChanged();
    emit positionChanged(position_);
}

void MidiDeviceList::listFonts()
{
    fontPaths_.clear();
    if (!fonts_)
        return;
    const QFileInfo current(fonts_->current());
    for (const QString &path : fonts_->fonts()) {
        fontPaths_ << path;
        const bool playing =
            !current.filePath().isEmpty() && QFileInfo(path).canonicalFilePath() == current.canonicalFilePath();
        entries_.append({fontEntryText(path, playing), kSynthesizerId});
    }
    entries_.append({pickEntryText(), kSynthesizerId});
}

QString MidiDeviceList::fontEntryText(const QString &path, bool current)
{
    // The font's own name: the system's default-GM link says which one it is.
    const QFileInfo info(path);
    const QString target = info.canonicalFilePath();
    const QString name = QFileInfo(target.isEmpty() ? path : target).completeBaseName();
    return QStringLiteral("内置合成器：%1%2").arg(name, current ? QStringLiteral("（当前）") : QString());
}

QString MidiDeviceList::pickEntryText() { return QStringLiteral("内置合成器：选择音色库文件……"); }

QString MidiDeviceList::fontFileFilter() { return QStringLiteral("音色库|*.sf2;*.sf3"); }

void MidiDeviceList::select(int position)
{
    if (position < 0 || position >= entries_.size())
        return;
    if (position < deviceCount_) {
        port_.OpenMidiDevice(entries_[position].id);
        return;
    }
    // The list shows the open device again, not the font entry clicked
    // (also while the file dialog is open).
    emit positionChanged(position_);
    const int font = position - deviceCount_;
    const QString path = font < fontPaths_.size() ? fontPaths_[font] : pickFontFile();
    if (!path.isEmpty())
        chooseFont(path);
}

QString MidiDeviceList::pickFontFile()
{
    if (!dialogs_)
        return QString();
    const QString current = fonts_ ? fonts_->current() : QString();
    const QString folder = current.isEmpty() ? QStringLiteral("/usr/share/sounds") : QFileInfo(current).absolutePath();
    return dialogs_->openFile(fontFileFilter(), folder);
}

void MidiDeviceList::chooseFont(const QString &path)
{
    if (!port_.isOpen() || port_.openDeviceId() != kSynthesizerId)
        port_.OpenMidiDevice(kSynthesizerId);
    if (fonts_)
        fonts_->choose(path);
}

void MidiDeviceList::followPort()
{
    int position = -1;
    if (port_.isOpen()) {
        for (int i = 0; i < deviceCount_; ++i) {
            if (entries_[i].id == port_.openDeviceId()) {
                position = i;
                break;
            }
        }
    }
    if (position == position_)
        return;
    position_ = position;
    emit positionChanged(position_);
}
