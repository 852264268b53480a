#pragma once

#include <QObject>

class ChordAccompanimentTest : public QObject {
    Q_OBJECT
private slots:
    void startState();
    void startButtonBeforeAnyChord();
    void choosingChordWhileTestSounds();
    void optionsWithoutChordKeepTheLastChord();
    void scoreChordTypeChoosesOption();
    void chordKeysInTheKeyOfC_data();
    void chordKeysInTheKeyOfC();
    void keyIInD();
    void otherKeyCodesDoNothing();
    void chordKeyPressedTwiceStrikesTwice();
    void chordKeyDuringTestStrikesAtOnce();
    void instrumentLists();
    void silentInstrumentKeepsItsChannelQuiet();
    void chordVolume();
    void noHangingNotesAfterKeyChange();
    void scoreChordAcrossKeyChange();
};
