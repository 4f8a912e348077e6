#pragma once

// The main window's view flags. The window applies a new set only when it differs.
struct TViewOptions {
    bool ToolBar = false;
    bool StatusBar = false;
    bool LastPosition = false;
    bool Topmost = false;

    bool operator==(const TViewOptions&) const = default;
};

inline TViewOptions DefaultViewOptions()
{
    return TViewOptions{true, true, false, false};
}
