// The sound service on SDL2: WAV files decoded whole, played full length, looped without a gap.
// SDL is opened with dlopen at the first sound: linked, it and the audio libraries it pulls in
// would take about 4 MB of every run, most of which never plays a sound.
#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/Files.h"
#include "platform/Sound.h"
#include "platform/SoundLevel.h"

namespace platform {
namespace {

// A sound file is decoded whole into memory; beyond this it is no alarm sound.
constexpr std::size_t kMaxSoundBytes = std::size_t{128} << 20;

// The SDL functions the service calls, looked up once.
struct SdlApi {
    int (*InitSubSystem)(Uint32);
    void (*QuitSubSystem)(Uint32);
    const char* (*GetError)();
    SDL_RWops* (*RWFromConstMem)(const void*, int);
    SDL_AudioSpec* (*LoadWAV_RW)(SDL_RWops*, int, SDL_AudioSpec*, Uint8**, Uint32*);
    void (*FreeWAV)(Uint8*);
    SDL_AudioDeviceID (*OpenAudioDevice)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*,
                                         int);
    void (*CloseAudioDevice)(SDL_AudioDeviceID);
    void (*PauseAudioDevice)(SDL_AudioDeviceID, int);
    SDL_AudioStream* (*NewAudioStream)(SDL_AudioFormat, Uint8, int, SDL_AudioFormat, Uint8, int);
    int (*AudioStreamPut)(SDL_AudioStream*, const void*, int);
    int (*AudioStreamFlush)(SDL_AudioStream*);
    int (*AudioStreamAvailable)(SDL_AudioStream*);
    int (*AudioStreamGet)(SDL_AudioStream*, void*, int);
    void (*FreeAudioStream)(SDL_AudioStream*);

    // Fills every entry; false (with the reason in `why`) when SDL or one of them is missing.
    bool load(std::string& why) {
        void* lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            const char* e = dlerror();
            why = e ? e : "libSDL2-2.0.so.0 not found";
            return false;
        }
        bool ok = true;
        const auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            if (!fn) {
                why = std::string("SDL lacks ") + name;
                ok = false;
            }
        };
        get(InitSubSystem, "SDL_InitSubSystem");
        get(QuitSubSystem, "SDL_QuitSubSystem");
        get(GetError, "SDL_GetError");
        get(RWFromConstMem, "SDL_RWFromConstMem");
        get(LoadWAV_RW, "SDL_LoadWAV_RW");
        get(FreeWAV, "SDL_FreeWAV");
        get(OpenAudioDevice, "SDL_OpenAudioDevice");
        get(CloseAudioDevice, "SDL_CloseAudioDevice");
        get(PauseAudioDevice, "SDL_PauseAudioDevice");
        get(NewAudioStream, "SDL_NewAudioStream");
        get(AudioStreamPut, "SDL_AudioStreamPut");
        get(AudioStreamFlush, "SDL_AudioStreamFlush");
        get(AudioStreamAvailable, "SDL_AudioStreamAvailable");
        get(AudioStreamGet, "SDL_AudioStreamGet");
        get(FreeAudioStream, "SDL_FreeAudioStream");
        // The library stays loaded: its audio thread runs until the process ends.
        return ok;
    }
};

// What the device plays: every sound is converted to this once, when it starts.
constexpr int kRate = 44100;
constexpr SDL_AudioFormat kFormat = AUDIO_S16SYS;
constexpr Uint8 kChannels = 2;

class SdlSound : public Sound {
public:
    ~SdlSound() override {
        if (device_ != 0) {
            sdl_.CloseAudioDevice(device_); // waits for the audio thread to end
            sdl_.QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

protected:
    void startSync(const std::string& file) override {
        if (!start(file, false)) {
            return;
        }
        while (playing_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void startAsync(const std::string& file) override { start(file, false); }
    void startLoop(const std::string& file) override { start(file, true); }
    void halt() override {
        if (device_ != 0) {
            replace({}, false);
        }
    }

private:
    bool ensureOpen() {
        if (device_ != 0 || failed_) {
            return device_ != 0;
        }
        std::string why;
        if (!sdl_.load(why)) {
            return fail(why.c_str());
        }
        if (sdl_.InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return fail(sdl_.GetError());
        }
        SDL_AudioSpec want{};
        want.freq = kRate;
        want.format = kFormat;
        want.channels = kChannels;
        want.samples = 1024;
        want.callback = &SdlSound::fill;
        want.userdata = this;
        device_ = sdl_.OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (device_ == 0) {
            const bool r = fail(sdl_.GetError());
            sdl_.QuitSubSystem(SDL_INIT_AUDIO);
            return r;
        }
        sdl_.PauseAudioDevice(device_, 0);
        return true;
    }

    bool fail(const char* why) {
        std::fprintf(stderr, "なごみ: no audio device, sounds are off (%s)\n", why ? why : "");
        failed_ = true;
        return false;
    }

    // Replaces whatever is playing; an empty or unreadable file just stops it.
    bool start(const std::string& file, bool loop) {
        if (!ensureOpen()) {
            return false;
        }
        replace({}, false);
        if (file.empty() || !fileExists(file)) {
            return false;
        }
        // Read through our own opener: SDL would block for good on a FIFO under the name.
        const auto bytes = readFile(file, kMaxSoundBytes);
        if (!bytes) {
            std::fprintf(stderr, "なごみ: cannot play %s (not a readable file)\n", file.c_str());
            return false;
        }
        std::vector<Uint8> pcm;
        if (!decode(*bytes, pcm)) {
            std::fprintf(stderr, "なごみ: cannot play %s (%s)\n", file.c_str(), sdl_.GetError());
            return false;
        }
        replace(std::move(pcm), loop);
        return true;
    }

    // The file's samples in the device's format.
    bool decode(const std::string& bytes, std::vector<Uint8>& out) {
        SDL_RWops* rw = sdl_.RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        if (!rw) {
            return false;
        }
        SDL_AudioSpec spec{};
        Uint8* buf = nullptr;
        Uint32 len = 0;
        if (!sdl_.LoadWAV_RW(rw, 1, &spec, &buf, &len)) {
            return false;
        }
        SDL_AudioStream* stream =
            sdl_.NewAudioStream(spec.format, spec.channels, spec.freq, kFormat, kChannels, kRate);
        bool ok = stream && sdl_.AudioStreamPut(stream, buf, static_cast<int>(len)) == 0 &&
                  sdl_.AudioStreamFlush(stream) == 0;
        sdl_.FreeWAV(buf);
        if (ok) {
            out.resize(static_cast<std::size_t>(std::max(0, sdl_.AudioStreamAvailable(stream))));
            const int got =
                out.empty() ? 0
                            : sdl_.AudioStreamGet(stream, out.data(), static_cast<int>(out.size()));
            ok = got >= 0;
            out.resize(ok ? static_cast<std::size_t>(got) : 0);
        }
        if (stream) {
            sdl_.FreeAudioStream(stream);
        }
        return ok;
    }

    void replace(std::vector<Uint8> pcm, bool loop) {
        std::vector<Uint8> old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            old.swap(pcm_);
            pcm_ = std::move(pcm);
            pos_ = 0;
            loop_ = loop;
            playing_ = !pcm_.empty();
        }
        // `old` is freed here, outside the audio thread's lock.
    }

    // The audio thread: the current sound from where it stands, silence after its end.
    static void SDLCALL fill(void* self, Uint8* out, int len) {
        auto& s = *static_cast<SdlSound*>(self);
        std::lock_guard<std::mutex> lock(s.mutex_);
        auto done = std::size_t{0};
        const auto want = static_cast<std::size_t>(len);
        while (done < want && s.playing_.load()) {
            const std::size_t n = std::min(want - done, s.pcm_.size() - s.pos_);
            std::memcpy(out + done, s.pcm_.data() + s.pos_, n);
            s.pos_ += n;
            done += n;
            if (s.pos_ == s.pcm_.size()) {
                s.pos_ = 0;
                if (!s.loop_) {
                    s.playing_ = false;
                }
            }
        }
        std::memset(out + done, 0, want - done);
        scaleSamples(out, done, s.volume());
    }

    SdlApi sdl_{};
    SDL_AudioDeviceID device_ = 0;
    bool failed_ = false;
    std::mutex mutex_;
    std::vector<Uint8> pcm_;
    std::size_t pos_ = 0;
    bool loop_ = false;
    std::atomic<bool> playing_{false};
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
