#pragma once

#include "engine/Lumiva.h"

// Closes the engine's conversion when the holder goes, however the conversion ends.
class TCloseGuard {
public:
    explicit TCloseGuard(TLumiva& Converter) noexcept : Converter(Converter) {}
    ~TCloseGuard() { Converter.Close(); }
    TCloseGuard(const TCloseGuard&) = delete;
    TCloseGuard& operator=(const TCloseGuard&) = delete;

private:
    TLumiva& Converter;
};
