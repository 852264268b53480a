#pragma once

#include <QObject>

// The synthesizer rendered for real: pitch, timing on the block grid, level,
// files; and the live engine's loading, ordering, volume and tap.
class OfflineRendererTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void middleCSoundsAtItsPitch();
    void clicksLandOnNearestBlock();
    void wavFilesRoundTrip();
    void loudestPlayingDoesNotClip_data();
    void loudestPlayingDoesNotClip();
};

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
