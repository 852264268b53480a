#pragma once

#include "core/MidiMessage.h"

#include <QString>
#include <QtGlobal>

// Handle of an open MIDI output device; 0 is the empty handle.
using MidiHandle = quintptr;

// Error codes of the MIDI layer (the classic multimedia numbering, so the
// texts and codes stay familiar across back ends).
namespace MidiError {
constexpr int Ok = 0;
constexpr int Error = 1;          // unspecified failure
constexpr int BadDeviceId = 2;
constexpr int NotEnabled = 3;
constexpr int Allocated = 4;      // device already in use
constexpr int InvalidHandle = 5;
constexpr int NoDriver = 6;
constexpr int NoMemory = 7;
constexpr int NotReady = 67;      // the device cannot take messages yet
constexpr int NoDevice = 68;      // the device is gone
}

// Device id of the system's default output (the mapper's place in the list).
constexpr int kDefaultMidiDevice = -1;

// The MIDI port's contract with the machine's MIDI output: the devices,
// opening and closing by handle, short messages and error texts.
// Implemented (in platform/midi) by the built-in synthesizer with the ALSA
// ports beside it, by the message log and by the recording of a render, and
// by a recording fake in the tests.
class MidiBackend {
public:
    virtual ~MidiBackend() = default;

    // Number of devices; valid ids are 0 .. count - 1.
    virtual int deviceCount() = 0;
    // Product name of a device id (kDefaultMidiDevice for the default output).
    // Returns 0 on success, an error code otherwise.
    virtual int deviceCaps(int id, QString *name) = 0;
    virtual int open(int id, MidiHandle *handle) = 0;
    virtual int close(MidiHandle handle) = 0;
    // Sends one message, whose bytes the port has checked. dueNs < 0: at
    // once. Otherwise the monotonic time the message belongs to; a device
    // that can schedule plays it then (plus a constant look-ahead), others
    // send it at once.
    virtual int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) = 0;
    // The text for an error code, at most 127 characters.
    virtual QString errorText(int code) = 0;
};
