#pragma once

// The capture units' exception family; each carries only its message.

#include <stdexcept>
#include <string>

namespace vireon {

class EWaveAudioError : public std::runtime_error {
public:
    explicit EWaveAudioError(const std::string& Message) : std::runtime_error(Message) {}
};

// A platform call failed; the message is the platform's text for the code.
class EWaveAudioSysError : public EWaveAudioError {
public:
    using EWaveAudioError::EWaveAudioError;
};

// An operation the component's current state forbids.
class EWaveAudioInvalidOperation : public EWaveAudioError {
public:
    using EWaveAudioError::EWaveAudioError;
};

} // namespace vireon
