#pragma once

#include <QByteArray>
#include <QFile>

// What this process holds in memory, for tests of writers that must not
// hold a whole picture.
namespace ResidentMemory {

// AddressSanitizer keeps freed memory back for a while: no bound holds there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasurable = false;
#else
constexpr bool kMeasurable = true;
#endif

// The resident memory in KiB (-1 where it cannot be read).
inline long kib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

}  // namespace ResidentMemory
