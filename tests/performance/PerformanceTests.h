#pragma once

#include <QObject>

// The logic tests of the performance room.

class KeyTableTest : public QObject {
    Q_OBJECT
private slots:
    void noteKeysAndCodes();
    void transposition();
    void codesToOffsets();
    void keyRoles();
    void blackKeys();
};

class MelodyVoicesTest : public QObject {
    Q_OBJECT
private slots:
    void tempoList();
    void instrumentChoice();
    void silentVoiceWhileNoteSounds();
    void instrumentTextChange();
    void volumes();
    void listsAreChooseOnly();
    void keyChangeStopsTheSoundingNote();
    void sameKeyAgainChangesNothing();
    void combinations();
};

class KeyboardEngineTest : public QObject {
    Q_OBJECT
private slots:
    void firstNote();
    void durationsBetweenKeys();
    void durationCountsFromTheKeyPress();
    void heldNoteEndsAfterHundredTicks();
    void rests();
    void stops();
    void instrumentCombinationF5();
    void combinationF1LeavesOneVoice();
    void handEditsOfScoreBoxAreReplaced();
    void highOctaveAndSpecialKeys();
    void sameKeyPressedAgainIsANewPress();
    void handedOnKeys();
    void otherKeysDoNothing();
    void focusAndClick();
    void mouseNoteThenComputerKey();
};

class OnScreenKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void geometry();
    void keyUnderPoint();
    void initialisation();
    void strikeStopsScoreChordsAndSoundsVoices();
    void disabledKeysDoNothing();
    void mutePad();
    void layoutToggles();
    void badOffsetsAreIgnored();
};


class MiniKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void openingResetsScoreAndInstruments();
    void durationsAndHandBack();
    void keysOfTheMiniWindow_data();
    void keysOfTheMiniWindow();
    void notesAndBoxes();
    void combinationsWithoutMessages();
    void mouseStrikes();
    void clearStartsANewPerformance();
    void tickFollowsTheTempoOfActivation();
};
