#pragma once

#include <QObject>

class ChordPanelTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAndCaptions();
    void optionClickReachesController();
    void startButtonDisabledDuringTest();
    void controlsFollowTheController();
    void instrumentChosenWithTheKeyboard();
};
