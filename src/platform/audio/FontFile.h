#pragma once

#include <functional>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

// The live synthesizers read their sound font through here, so that the
// program decides who reads it and when: only while a ReadScope is open on
// the reading thread (loading the font, loading a program's samples), never
// in the audio callback. A read outside a scope breaks a thread rule (see
// ThreadRoles: checked builds stop there; others read as usual).
namespace FontFile {

// Makes the synthesizer read fonts through here; before its font is loaded.
void useFor(fluid_synth_t *synth, fluid_settings_t *settings);

// Reads [offset, offset + length) of the open file `fd` for the page cache
// alone (the bytes are dropped), under the rules of a synthesizer's read:
// inside a scope, its beforeRead first. Returns the bytes read.
long long readAhead(int fd, long long offset, long long length);

// Reading is allowed on this thread while the scope lives. beforeRead (may
// be null or empty) runs before each read: tests slow the disk down with it.
class ReadScope {
public:
    explicit ReadScope(const std::function<void()> *beforeRead = nullptr);
    ~ReadScope();
    ReadScope(const ReadScope &) = delete;
    ReadScope &operator=(const ReadScope &) = delete;

private:
    const std::function<void()> *saved_;
    bool savedOpen_;
};

}  // namespace FontFile
