#pragma once

// One frame of the program's stereo output, as the rings between the audio
// callback and its neighbours carry it.
struct StereoFrame {
    float left, right;
};
