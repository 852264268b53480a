#pragma once

#include <QObject>

class SoundEffectsTest : public QObject {
    Q_OBJECT
private slots:
    void everyEffectInTheKeyOfC_data();
    void everyEffectInTheKeyOfC();
    void keyPTwiceNeverStops();
    void rightBracketInD();
    void displayAfterSlash();
    void scoreNumbersMapToKeys();
    void otherKeyCodesDoNothing();
};
