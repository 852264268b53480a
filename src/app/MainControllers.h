#pragma once

#include "app/Navigation.h"
#include "app/StatusClock.h"
#include "sound/MidiDeviceList.h"

#include <functional>

struct AppContext;

// The controllers behind the main window, created together on one context
// and wired to each other. The windows show them; tests drive them.
class MainControllers {
public:
    explicit MainControllers(AppContext &ctx);

    AppContext &ctx;
    MidiDeviceList devices;
    Navigation navigation;
    StatusClock statusClock;

    // Sets the program's wave output volume (left in the low 16 bits).
    std::function<void(quint32)> setWaveVolume;
};
