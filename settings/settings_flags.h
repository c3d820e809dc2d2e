#pragma once
// The four settings flags as the program holds them between reading and saving.

namespace quavrel {

struct SettingsFlags {
    bool CyclePlay = true;
    bool AutoLoadDefaultList = true;
    bool AutoStartLeftBottom = true;
    bool AutoStart = false;
};

}  // namespace quavrel
