// The sound service on SDL2_mixer: full-length playback and clean loops on one channel.
#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdio>

#include "platform/Files.h"
#include "platform/Sound.h"

namespace platform {
namespace {

// A sound file is decoded whole into memory; beyond this it is no alarm sound.
constexpr std::size_t kMaxSoundBytes = std::size_t{128} << 20;

class SdlSound : public Sound {
public:
    ~SdlSound() override {
        if (open_) {
            Mix_HaltChannel(-1);
            release();
            Mix_CloseAudio();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

    void playSync(const std::string& file) override {
        if (!start(file, 0)) {
            return;
        }
        while (Mix_Playing(kChannel)) {
            SDL_Delay(5);
        }
    }
    void playAsync(const std::string& file) override { start(file, 0); }
    void playLoop(const std::string& file) override { start(file, -1); }
    void stop() override {
        if (open_) {
            Mix_HaltChannel(kChannel);
            release();
        }
    }

private:
    static constexpr int kChannel = 0;

    bool ensureOpen() {
        if (open_ || failed_) {
            return open_;
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 ||
            Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
            std::fprintf(stderr, "なごみ: no audio device, sounds are off (%s)\n", SDL_GetError());
            failed_ = true;
            return false;
        }
        Mix_AllocateChannels(1);
        open_ = true;
        return true;
    }

    void release() {
        if (chunk_) {
            Mix_FreeChunk(chunk_);
            chunk_ = nullptr;
        }
    }

    // Replaces whatever is playing; an empty or unreadable file just stops it.
    bool start(const std::string& file, int loops) {
        if (!ensureOpen()) {
            return false;
        }
        Mix_HaltChannel(kChannel);
        release();
        if (file.empty() || !fileExists(file)) {
            return false;
        }
        // Read through our own opener: SDL would block for good on a FIFO under the name.
        const auto bytes = readFile(file, kMaxSoundBytes);
        if (!bytes) {
            std::fprintf(stderr, "なごみ: cannot play %s (not a readable file)\n", file.c_str());
            return false;
        }
        SDL_RWops* rw = SDL_RWFromConstMem(bytes->data(), static_cast<int>(bytes->size()));
        chunk_ = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
        if (!chunk_) {
            std::fprintf(stderr, "なごみ: cannot play %s (%s)\n", file.c_str(), Mix_GetError());
            return false;
        }
        return Mix_PlayChannel(kChannel, chunk_, loops) == kChannel;
    }

    bool open_ = false;
    bool failed_ = false;
    Mix_Chunk* chunk_ = nullptr;
};

Sound* g_replacement = nullptr;

} // namespace

Sound& sound() {
    if (g_replacement) {
        return *g_replacement;
    }
    static SdlSound s;
    return s;
}

void setSound(Sound* replacement) {
    g_replacement = replacement;
}

} // namespace platform
