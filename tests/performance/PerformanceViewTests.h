#pragma once

#include <QObject>

// The window tests of the performance room: key codes and the views.
class KeyCodesTest : public QObject {
    Q_OBJECT
private slots:
    void qtKeys();
    void physicalPositions();
    void keyNames();
};

class PerformanceViewsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void keysReachTheEngine();
    void keysNeverClickOrMoveFocus();
    void keypadAndAutoRepeat();
    void focusSwitchesKeysAndMutePad();
    void dragOverKeys();
    void mutePadSilences();
    void layoutPictureTogglesBack();
    void layoutPictureShowsEveryKey();
    void melodyPanel();
    void keyChangeLeavesNothingHanging();
    void artwork();

private:
    struct Window;
    Window *w_ = nullptr;
};

class Form2Test : public QObject {
    Q_OBJECT
private slots:
    void controlsAndBoxes();
    void activationAndHeldKey();
    void mouseAndMutePad();
    void returnAndClose();
};
