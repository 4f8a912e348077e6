#pragma once

#include <string>

// The settings file: "<user configuration folder>/Lumiva/Settings.ini", the folder being
// $XDG_CONFIG_HOME, else ~/.config. Empty when no configuration folder is known.
std::string SettingsFileName();
