#pragma once
// The program's options and its autostart switch, kept in the current user's registry.
// Read once at start-up and written when the user saves the settings page; the main
// window holds the flags and the player reads CyclePlay from there.
#include <string>

#include "platform/registry.h"
#include "settings/settings_flags.h"

namespace quavrel {

constexpr char kConfigKey[] = "Software\\quavrel\\Config";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Quavrel";

// Fills `flags` in the order CyclePlay, AutoStartLeftBottom, AutoLoadDefaultList,
// AutoStart. An option counts as off only when stored as REG_DWORD 0; AutoStart is on
// when the Run value equals `executable` byte for byte. Throws ERegistryException
// "Invalid data type for 'Quavrel'" when the Run value is neither a string nor an
// expandable string; the flags read before keep their values.
void LoadSettings(UserRegistry& registry, SettingsFlags& flags, const std::string& executable);

// Writes the three options (a failed write silently skips the rest), then adds or
// removes the Run value. Throws ERegistryException "Failed to set data for 'Quavrel'"
// when the Run value cannot be written.
void SaveSettings(UserRegistry& registry, const SettingsFlags& flags,
                  const std::string& executable);

// The same on this machine's registry with the running executable.
void LoadSettings(SettingsFlags& flags);
void SaveSettings(const SettingsFlags& flags);

}  // namespace quavrel
