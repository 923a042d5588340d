#pragma once
// The switches and transport controls shared by the audio classes.

// Mute and enable switches: the engine, sources, long sources, the manager,
// the facade and interrupt groups answer them.
class SndAudioInterruptProtocol {
public:
    virtual ~SndAudioInterruptProtocol() = default;
    virtual bool mute() const = 0;
    virtual void setMute(bool mute) = 0;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// Play, pause, stop and rewind, each true when it worked.
class SndAudioTransportProtocol {
public:
    virtual ~SndAudioTransportProtocol() = default;
    virtual bool play() = 0;
    virtual bool pause() = 0;
    virtual bool stop() = 0;
    virtual bool rewind() = 0;
};

// Notifications of the audio classes.
inline constexpr const char* kSndN_BadAlContext = "kSndN_BadAlContext";
inline constexpr const char* kSndN_AsynchLoadComplete = "kSndN_AsynchLoadComplete";
inline constexpr const char* kSndN_AudioManagerInitialised = "kSndN_AudioManagerInitialised";
