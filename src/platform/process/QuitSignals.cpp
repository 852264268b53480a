#include "platform/process/QuitSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX
namespace {

// A signal handler reaches nothing but what lives outside every object:
// the two ends of the socket pair and the handlers it replaced.
int pipeEnds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
struct sigaction previous[3];

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Non-blocking: a full pipe already holds a request to end.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace
#endif

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (pipeEnds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0)
        return;
    for (int end : pipeEnds) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::readSignals);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
#endif
}

QuitSignals::~QuitSignals()
{
#ifdef Q_OS_UNIX
    if (!notifier_)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    for (int &end : pipeEnds) {
        ::close(end);
        end = -1;
    }
#endif
}

void QuitSignals::readSignals()
{
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        emit received(int(byte));
#endif
}
