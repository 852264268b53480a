#include "platform/audio/FontFile.h"

#include "platform/audio/realtime/ThreadRoles.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

// FluidSynth's file functions carry no context of ours, so the scope of
// the reading thread is found per thread.
thread_local bool tlsOpen = false;
thread_local const std::function<void()> *tlsBeforeRead = nullptr;

void *openFile(const char *path) { return std::fopen(path, "rb"); }

void beforeRead()
{
    DZQ_NEVER_AUDIO_THREAD();
    DZQ_THREAD_RULE(tlsOpen, "the sound font is read only while loading");
    if (tlsBeforeRead && *tlsBeforeRead)
        (*tlsBeforeRead)();
}

int readFile(void *buffer, fluid_long_long_t count, void *handle)
{
    beforeRead();
    if (count <= 0)
        return FLUID_OK;
    return std::fread(buffer, size_t(count), 1, static_cast<FILE *>(handle)) == 1 ? FLUID_OK : FLUID_FAILED;
}

int seekFile(void *handle, fluid_long_long_t offset, int origin)
{
    return std::fseek(static_cast<FILE *>(handle), long(offset), origin) == 0 ? FLUID_OK : FLUID_FAILED;
}

fluid_long_long_t tellFile(void *handle) { return std::ftell(static_cast<FILE *>(handle)); }

int closeFile(void *handle) { return std::fclose(static_cast<FILE *>(handle)) == 0 ? FLUID_OK : FLUID_FAILED; }

}  // namespace

namespace FontFile {

void useFor(fluid_synth_t *synth, fluid_settings_t *settings)
{
    fluid_sfloader_t *loader = new_fluid_defsfloader(settings);
    if (!loader)
        return;  // FluidSynth's own loader reads then
    fluid_sfloader_set_callbacks(loader, openFile, readFile, seekFile, tellFile, closeFile);
    // Tried before the loaders the synthesizer came with; it owns it now.
    fluid_synth_add_sfloader(synth, loader);
}

long long readAhead(int fd, long long offset, long long length)
{
    beforeRead();
    constexpr long long kBlock = 64 * 1024;
    if (length <= 0)
        return 0;
    std::vector<char> buffer(std::size_t(std::min(length, kBlock)));
    long long done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size() < std::size_t(length - done) ? buffer.size() : std::size_t(length - done),
                                  off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // the end of the file, or an error: the load will tell
        done += n;
    }
    return done;
}

ReadScope::ReadScope(const std::function<void()> *beforeRead) : saved_(tlsBeforeRead), savedOpen_(tlsOpen)
{
    tlsOpen = true;
    tlsBeforeRead = beforeRead;
}

ReadScope::~ReadScope()
{
    tlsOpen = savedOpen_;
    tlsBeforeRead = saved_;
}

}  // namespace FontFile
