#include "platform/midi/MidiLogBackend.h"

#include "core/Clock.h"

MidiLogBackend::MidiLogBackend(MidiBackend &inner, const QString &path, const Clock &clock,
                               qint64 programStartNs)
    : inner_(inner), clock_(clock), startNs_(programStartNs), file_(path)
{
    // Appended: an earlier log is never lost.
    file_.open(QIODevice::WriteOnly | QIODevice::Append);
}

int MidiLogBackend::deviceCount()
{
    return inner_.deviceCount();
}

int MidiLogBackend::deviceCaps(int id, QString *name)
{
    return inner_.deviceCaps(id, name);
}

int MidiLogBackend::open(int id, MidiHandle *handle)
{
    const int result = inner_.open(id, handle);
    if (result == MidiError::Ok)
        ids_.insert(*handle, id);
    return result;
}

int MidiLogBackend::close(MidiHandle handle)
{
    ids_.remove(handle);
    return inner_.close(handle);
}

int MidiLogBackend::shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs)
{
    const int result = inner_.shortMsg(handle, message, dueNs);
    if (file_.isOpen()) {
        const qint64 ms = (clock_.nowNs() - startNs_) / 1000000;
        const auto id = ids_.constFind(handle);
        const QByteArray device = id == ids_.constEnd() ? QByteArray("none") : QByteArray::number(*id);
        file_.write(QByteArray::number(ms) + ' ' + device + " 0x" + QByteArray::number(message.packed(), 16) + '\n');
        file_.flush();
    }
    return result;
}

void MidiLogBackend::writeComment(const QString &text)
{
    if (!file_.isOpen())
        return;
    file_.write("# " + text.toUtf8() + '\n');
    file_.flush();
}

QString MidiLogBackend::errorText(int code)
{
    return inner_.errorText(code);
}
