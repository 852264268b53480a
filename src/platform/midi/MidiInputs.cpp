#include "platform/midi/MidiInputs.h"

#include "core/PostToOwner.h"
#include "platform/midi/MidiStreamParser.h"

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

MidiInputChoice MidiInputChoice::parse(const QString &text)
{
    if (text.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0)
        return none();
    if (text.compare(QStringLiteral("all"), Qt::CaseInsensitive) == 0)
        return all();
    return named(text);
}

bool MidiInputChoice::takes(const MidiInputPort &port) const
{
    switch (kind) {
    case Kind::None:
        return false;
    case Kind::All:
        return port.byDefault;
    case Kind::Named:
        return !name.isEmpty() && port.name.contains(name, Qt::CaseInsensitive);
    }
    return false;
}

// One connected port. receive() runs on the port's thread; everything else
// on the owner's.
struct MidiInputs::Input : MidiInputReceiver {
    Input(MidiInputs &o, const QString &n, int s) : owner(o), name(n), source(s) { }

    void receive(const unsigned char *bytes, std::size_t length) override
    {
        const qint64 now = steadyNowNs();
        parser.feed(bytes, length, [this, now](const MidiMessage &m) {
            if (!queue.push(Arrival{m, now}))
                dropped.fetch_add(1, std::memory_order_relaxed);
        });
        owner.wake();
    }

    MidiInputs &owner;
    const QString name;
    const int source;
    int connection = 0;
    MidiStreamParser parser;
    SpscRing<Arrival> queue{kQueueCapacity};
    std::atomic<quint64> dropped{0};
};

// What the owner and the listing thread share. The thread holds it too, so
// a thread left behind in a stuck listing still finds it when it returns.
struct MidiInputs::Lister {
    std::mutex mutex;
    std::condition_variable wakeUp;
    std::condition_variable finished;
    bool lookNow = true;  // the first look at once
    bool stopping = false;
    bool done = false;
    QVector<MidiInputPort> found;  // the last look, until the owner takes it
    bool fresh = false;
};

MidiInputs::MidiInputs(MidiInputPorts &ports, QObject *parent) : QObject(parent), ports_(ports) { }

MidiInputs::~MidiInputs()
{
    stopLister();
    // No delivery follows a close, so the receivers can go.
    for (const auto &input : inputs_)
        ports_.close(input->connection);
}

void MidiInputs::start()
{
    if (lister_)
        return;
    lister_ = std::make_shared<Lister>();
    listerThread_ = std::thread([this, lister = lister_] {
        std::unique_lock<std::mutex> lock(lister->mutex);
        for (;;) {
            lister->wakeUp.wait_for(lock, std::chrono::milliseconds(kPollMs),
                                    [&] { return lister->lookNow || lister->stopping; });
            if (lister->stopping)
                break;
            lister->lookNow = false;
            lock.unlock();
            QVector<MidiInputPort> present = ports_.ports();
            lock.lock();
            if (lister->stopping)
                break;  // the owner may be gone: nothing more reaches it
            lister->found = std::move(present);
            lister->fresh = true;
            // Posted under the lock: the owner cannot be destroyed meanwhile,
            // and a post it has not run yet dies with it.
            postToOwner(this, "takeLook");
        }
        lister->done = true;
        lister->finished.notify_all();
    });
}

void MidiInputs::stopLister()
{
    if (!lister_)
        return;
    std::unique_lock<std::mutex> lock(lister_->mutex);
    lister_->stopping = true;
    lister_->wakeUp.notify_all();
    const bool ended =
        lister_->finished.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [this] { return lister_->done; });
    lock.unlock();
    // A listing stuck in a sound server would hold up the program's end;
    // the thread is left to finish it and then ends without touching us.
    if (ended)
        listerThread_.join();
    else
        listerThread_.detach();
}

void MidiInputs::setChoice(const MidiInputChoice &choice)
{
    if (choice == choice_)
        return;
    choice_ = choice;
    refused_.clear();  // a port chosen by name is tried again
    apply(listed_);
    if (lister_) {
        std::lock_guard<std::mutex> lock(lister_->mutex);
        lister_->lookNow = true;
        lister_->wakeUp.notify_all();
    }
    emit changed();
}

void MidiInputs::poll() { apply(ports_.ports()); }

void MidiInputs::takeLook()
{
    if (!lister_)
        return;
    QVector<MidiInputPort> present;
    {
        std::lock_guard<std::mutex> lock(lister_->mutex);
        if (!std::exchange(lister_->fresh, false))
            return;  // taken with an earlier post
        present = std::move(lister_->found);
    }
    apply(present);
}

void MidiInputs::apply(const QVector<MidiInputPort> &present)
{
    const QVector<MidiInputPort> before = listed_;
    listed_ = present;
    const auto listed = [this](const QString &name) -> const MidiInputPort * {
        for (const MidiInputPort &p : std::as_const(listed_)) {
            if (p.name == name)
                return &p;
        }
        return nullptr;
    };

    // Announced after the lists are settled: a listener may change them.
    QVector<std::pair<int, QString>> lost, gained;
    for (auto it = inputs_.begin(); it != inputs_.end();) {
        const MidiInputPort *port = listed((*it)->name);
        if (port && choice_.takes(*port) && ports_.isAlive((*it)->connection)) {
            ++it;
            continue;
        }
        ports_.close((*it)->connection);
        lost.append({(*it)->source, (*it)->name});
        it = inputs_.erase(it);
    }
    refused_.erase(std::remove_if(refused_.begin(), refused_.end(), [&](const QString &n) { return !listed(n); }),
                   refused_.end());
    for (const MidiInputPort &port : std::as_const(listed_)) {
        if (!choice_.takes(port) || isConnected(port.name) || refused_.contains(port.name))
            continue;
        auto input = std::make_unique<Input>(*this, port.name, nextSource_++);
        QString error;
        input->connection = ports_.open(port.name, *input, &error);
        if (input->connection == 0) {
            refused_.append(port.name);  // busy or gone: not tried every second
            continue;
        }
        gained.append({input->source, port.name});
        inputs_.push_back(std::move(input));
    }

    bool sameList = before.size() == listed_.size();
    for (int i = 0; sameList && i < before.size(); ++i)
        sameList = before[i].name == listed_[i].name;
    for (const auto &[source, name] : std::as_const(lost))
        emit disconnected(source, name);
    for (const auto &[source, name] : std::as_const(gained))
        emit connected(source, name);
    if (!sameList || !lost.isEmpty() || !gained.isEmpty())
        emit changed();
    emit looked();
}

bool MidiInputs::isConnected(const QString &name) const
{
    for (const auto &input : inputs_) {
        if (input->name == name)
            return true;
    }
    return false;
}

QString MidiInputs::deviceOf(const QString &name) const
{
    for (const MidiInputPort &p : listed_) {
        if (p.name == name)
            return p.device.isEmpty() ? name : p.device;
    }
    return name;
}

QStringList MidiInputs::connectedNames() const
{
    QStringList names;
    for (const auto &input : inputs_)
        names << input->name;
    return names;
}

quint64 MidiInputs::droppedMessages() const
{
    quint64 n = 0;
    for (const auto &input : inputs_)
        n += input->dropped.load(std::memory_order_relaxed);
    return n;
}

void MidiInputs::wake()
{
    // One hand-over per burst: the flag is cleared before the queues are read.
    if (!wakePending_.exchange(true, std::memory_order_acq_rel))
        postToOwner(this, "deliverPending");
}

MidiInputs::Input *MidiInputs::find(int source) const
{
    for (const auto &input : inputs_) {
        if (input->source == source)
            return input.get();
    }
    return nullptr;
}

void MidiInputs::deliverPending()
{
    wakePending_.store(false, std::memory_order_release);
    // Taken out first: a listener may open a box whose event loop polls the
    // ports, and a port dropped meanwhile says nothing more.
    struct Pending {
        int source;
        Arrival arrival;
    };
    std::vector<Pending> pending;
    for (const auto &input : inputs_) {
        Arrival a;
        while (input->queue.pop(a))
            pending.push_back({input->source, a});
    }
    for (const Pending &p : pending) {
        if (find(p.source))
            emit received(p.source, p.arrival.message, p.arrival.ns);
    }
}

QString MidiInputs::choiceName(const QString &portName)
{
    static const QRegularExpression numbers(QStringLiteral("\\s+\\d+:\\d+$"));
    return QString(portName).remove(numbers);
}
