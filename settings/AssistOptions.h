#pragma once

struct TAssistOptions {
    // Offer to save the run log after every run, not only after troubled ones.
    bool AlwaysSaveLog = false;

    bool operator==(const TAssistOptions&) const = default;
};

inline TAssistOptions DefaultAssistOptions()
{
    return TAssistOptions{false};
}
