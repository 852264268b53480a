#pragma once

#include "platform/midi/MidiInputPorts.h"

#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

// The machine's MIDI inputs in tests: ports that come and go as the test
// says, opens that can be refused, and bytes delivered on the calling
// thread as a port's own thread would deliver them. The listing may run on
// another thread, and can be held stuck as a hung sound server holds it.
class FakeMidiInputPorts : public MidiInputPorts {
public:
    QVector<MidiInputPort> present;  // change through add() and remove() while a listing thread runs
    QStringList refused;  // names whose open fails
    QVector<int> closed;  // connections closed, in order
    QStringList replugged;  // gone and back under the same name since opened
    int opens = 0;

    void add(const QString &name, bool byDefault = true, const QString &device = QString())
    {
        std::lock_guard<std::mutex> lock(mutex_);
        present.append({name, device.isEmpty() ? name.section(QLatin1Char(':'), 0, 0) : device, byDefault});
    }
    void remove(const QString &name)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int i = 0; i < present.size(); ++i) {
            if (present[i].name == name)
                present.removeAt(i--);
        }
    }

    QVector<MidiInputPort> ports() override
    {
        QVector<MidiInputPort> list;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++listingsBegun;
            listedOn = QThread::currentThread();
            released_.wait(lock, [this] { return !stuck_; });
            list = present;
        }
        listingsEnded.fetch_add(1);  // after this the listing touches nothing of ours
        return list;
    }
    // Listings wait from now until release().
    void hold()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stuck_ = true;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stuck_ = false;
        released_.notify_all();
    }
    int begun() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return listingsBegun;
    }
    QThread *lastListingThread() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return listedOn;
    }
    std::atomic<int> listingsEnded{0};

    int open(const QString &name, MidiInputReceiver &receiver, QString *error) override
    {
        ++opens;
        if (refused.contains(name)) {
            *error = QStringLiteral("设备忙");
            return 0;
        }
        const int connection = next_++;
        open_[connection] = {name, &receiver};
        return connection;
    }
    void close(int connection) override
    {
        if (open_.erase(connection))
            closed.append(connection);
    }

    bool isAlive(int connection) override
    {
        auto it = open_.find(connection);
        return it != open_.end() && !replugged.contains(it->second.first);
    }

    // The receiver of an open port, nullptr when it is not open.
    MidiInputReceiver *receiverOf(const QString &name) const
    {
        for (const auto &[connection, port] : open_) {
            if (port.first == name)
                return port.second;
        }
        return nullptr;
    }
    bool isOpen(const QString &name) const { return receiverOf(name) != nullptr; }
    // Delivers bytes from a port; false when it is not open.
    bool deliver(const QString &name, const std::vector<unsigned char> &bytes) const
    {
        MidiInputReceiver *r = receiverOf(name);
        if (r)
            r->receive(bytes.data(), bytes.size());
        return r != nullptr;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool stuck_ = false;
    int listingsBegun = 0;
    QThread *listedOn = nullptr;
    std::map<int, std::pair<QString, MidiInputReceiver *>> open_;
    int next_ = 1;
};
