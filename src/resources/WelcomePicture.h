#pragma once

#include <QImage>

// The welcome dialog's background (bitmap 106): a drum kit, a bell and a
// keyboard under the program's name, 400 x 300, drawn in code.
QImage welcomePicture();
