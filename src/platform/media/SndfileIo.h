#pragma once

#include <sndfile.h>

// libsndfile reading and writing through a QIODevice (a QFile or QSaveFile),
// so that file names in any script work on every platform. The device is
// passed as the user data of sf_open_virtual.
SF_VIRTUAL_IO *qtSndfileIo();
