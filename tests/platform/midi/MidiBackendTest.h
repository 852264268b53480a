#pragma once

#include <QObject>

// The program's MIDI output devices and the message log.
class SystemMidiBackendTest : public QObject {
    Q_OBJECT
private slots:
    void withoutSequencerOnlyTheBuiltIns();
    void externalPortsFollowTheBuiltIns();
    void externalPortsGetBytesAtOnce();
    void openAndSendFailuresSayWhatToDo();
    void closingTheSynthesizerSilencesIt();
};

class MidiLogBackendTest : public QObject {
    Q_OBJECT
private slots:
    void everyMessageIsOneLine();
};
