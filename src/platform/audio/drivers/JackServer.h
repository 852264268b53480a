#pragma once

// What the JACK clients of the program (the MIDI inputs, the sound output)
// share about the server.

// Whether a jackd server of the name JACK's library would ask for (the
// JACK_DEFAULT_SERVER variable, else "default") has its socket. Asking the
// library itself when there is none costs the asking thread several
// milliseconds. PipeWire's JACK face has no such socket: callers that care
// ask the library now and then anyway.
bool jackServerSocketPresent();

// JACK's library prints to the terminal unless told otherwise. What it says
// while a running server serves us goes to the sound log (a detail for the
// log, not an error for the user). Process-wide; any thread.
void routeJackMessagesToLog();

// While one lives on a thread, the library's complaints there are dropped:
// that no server runs, when looking for one that mostly is not there.
class JackLookingForServer {
public:
    JackLookingForServer();
    ~JackLookingForServer();
    JackLookingForServer(const JackLookingForServer &) = delete;
    JackLookingForServer &operator=(const JackLookingForServer &) = delete;
};
