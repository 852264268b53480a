#pragma once

#include <QObject>

// The live engine for real: loading, ordering, timing on the block grid,
// volume and tap.
class AudioEngineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void libraryMessagesAreCollectedNotPrinted();
    void messagesBeforeReadyPlayAfterInOrder();
    void timedNotesLandOnNearestBlock();
    void liveNoteOffNeverOvertakesItsNoteOn();
    void volumeSidesAndTap();
    void missingOrBrokenFontIsReportedAndSilent();
    void chosenFontThatFailsGivesWayToTheSystemFont();
    void withoutSoundCardRenderThreadRuns();
    void idleSkipsSynthesisWithoutDelayingSound_data();
    void idleSkipsSynthesisWithoutDelayingSound();
    void programChangeLoadsBeforeTheAudioThread();
    void lookAheadIsTickLatenessPlusOneBuffer();
};
