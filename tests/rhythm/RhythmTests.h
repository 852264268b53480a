#pragma once

#include "TestContext.h"

#include "rhythm/RhythmFiles.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"

#include <QObject>

// The rhythm controllers on a test context of their own.
struct RhythmRig {
    TestContext t;
    RhythmPattern pattern{t.ctx};
    RhythmSequencer sequencer{t.ctx, t.window, pattern};
    RhythmFiles files{t.ctx, t.window, pattern};

    RhythmRig() { t.choices.watch(sequencer); }

    // Applies built-in rhythm n as the keypad would, without starting it.
    void applyBuiltIn(int n) { sequencer.applyBuiltInRhythm(n); }
    bool apply(const QString &text)
    {
        t.state.RhythmText = text;
        return pattern.OpenJZwj();
    }
};

// A percussion note-on as the step table holds it.
inline quint32 drum(int note, int velocity)
{
    return 0x99u | quint32(note) << 8 | quint32(velocity) << 16;
}

// Everything a rhythm text can change, for "nothing changed" checks.
QString patternSnapshot(const RhythmPattern &pattern, const SharedState &state);

// Built-in rhythm n padded to the 93 characters a saved file holds.
QString savedText(int n);

// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

class RhythmPatternTest : public QObject {
    Q_OBJECT
private slots:
    void textLengthRule();
    void badHeadersAreRefused_data();
    void badHeadersAreRefused();
    void builtInThreeFourHasFifteenSteps();
    void cell16OfRowC();
    void builtIn1AtStepZeroPlaysItTwice();
    void rowDTickPlaysTheCurrentStep();
    void instrumentChangeLeavesStep16();
    void volumeRewritesStepsUpToLastStep();
    void composeHeaderAndTitle();
    void composeMatchesEveryBuiltIn();
    void gridColoursFollowTimeSignature();
    void outOfRangeEditsAreIgnored();
    void builtInNames();
};

class RhythmSequencerTest : public QObject {
    Q_OBJECT
private slots:
    void startTimingAt90Bpm();
    void stopKeepsStepAndStartsAtZero();
    void settingWhileSetChangesNothing();
    void wrapsAfterLastStep();
    void stepIndexOutsideThePattern();
    void silentStepSendsNothing();
    void bzfsSilencesCell4();
    void tempoChangeTakesEffectNextTick();
    void autoSyncHalvesTheSpeed();
    void clockTickTakesOver();
    void keypad0WithNoRhythm();
    void keypad4SwitchesWithoutRestart();
    void failedSendIsReportedAndPlayingGoesOn();
};

class RhythmFilesTest : public QObject {
    Q_OBJECT
private slots:
    void saveWritesTheTextAndCrLf();
    void cancelledSaveDoesNothing();
    void savedFileRoundTripsByteForByte();
    void chineseTitles();
    void commaInTheFileName();
    void startUpOpensTheFirstFileByName();
    void listHoldsBinFilesOnly();
    void saveFailureKeepsTheOldFile();
    void deleteSelectedFile();
    void deleteMissingOrUndeletableFile();
    void jpEntries();
    void oversizedAndUndecodableFiles();
};

class ShippedRhythmFilesTest : public QObject {
    Q_OBJECT
private slots:
    void shippedFilesAreWhatSaveWrites();
};

class RhythmRobustnessTest : public QObject {
    Q_OBJECT
private slots:
    void fuzzRhythmTexts();
    void fuzzRhythmFiles();
    void corpus();
};
