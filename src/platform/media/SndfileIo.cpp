#include "platform/media/SndfileIo.h"

#include <QIODevice>

namespace {

QIODevice *dev(void *user)
{
    return static_cast<QIODevice *>(user);
}

sf_count_t ioLength(void *user)
{
    return sf_count_t(dev(user)->size());
}

sf_count_t ioSeek(sf_count_t offset, int whence, void *user)
{
    qint64 target = offset;
    if (whence == SEEK_CUR)
        target += dev(user)->pos();
    else if (whence == SEEK_END)
        target += dev(user)->size();
    if (target < 0 || !dev(user)->seek(target))
        return -1;
    return sf_count_t(dev(user)->pos());
}

sf_count_t ioRead(void *ptr, sf_count_t count, void *user)
{
    const qint64 n = dev(user)->read(static_cast<char *>(ptr), qint64(count));
    return n < 0 ? 0 : sf_count_t(n);
}

sf_count_t ioWrite(const void *ptr, sf_count_t count, void *user)
{
    const qint64 n = dev(user)->write(static_cast<const char *>(ptr), qint64(count));
    return n < 0 ? 0 : sf_count_t(n);
}

sf_count_t ioTell(void *user)
{
    return sf_count_t(dev(user)->pos());
}

}  // namespace

SF_VIRTUAL_IO *qtSndfileIo()
{
    static SF_VIRTUAL_IO io = {ioLength, ioSeek, ioRead, ioWrite, ioTell};
    return &io;
}
