#pragma once

#include "platform/midi/MidiInputPorts.h"

#include <QStringList>

#include <map>
#include <vector>

// The machine's MIDI inputs in tests: ports that come and go as the test
// says, opens that can be refused, and bytes delivered on the calling
// thread as a port's own thread would deliver them.
class FakeMidiInputPorts : public MidiInputPorts {
public:
    QVector<MidiInputPort> present;
    QStringList refused;  // names whose open fails
    QVector<int> closed;  // connections closed, in order
    QStringList replugged;  // gone and back under the same name since opened
    int opens = 0;

    void add(const QString &name, bool byDefault = true, const QString &device = QString())
    {
        present.append({name, device.isEmpty() ? name.section(QLatin1Char(':'), 0, 0) : device, byDefault});
    }
    void remove(const QString &name)
    {
        for (int i = 0; i < present.size(); ++i) {
            if (present[i].name == name)
                present.removeAt(i--);
        }
    }

    QVector<MidiInputPort> ports() override { return present; }
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
    std::map<int, std::pair<QString, MidiInputReceiver *>> open_;
    int next_ = 1;
};
