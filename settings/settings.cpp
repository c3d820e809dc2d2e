#include "settings/settings.h"

#include "platform/paths.h"

namespace quavrel {
namespace {

// Only a REG_DWORD counts: anything else, and no value at all, means on.
bool readOption(RegistryKey& key, const char* name)
{
    std::optional<RegistryValue> value = key.readValue(name);
    if (!value)
        return true;
    std::optional<uint32_t> number = RegistryDword(*value);
    return !number || *number != 0;
}

std::unique_ptr<RegistryKey> tryOpen(UserRegistry& registry, const char* path)
{
    try {
        return registry.openKey(path);
    } catch (const Exception&) {
        return nullptr;
    }
}

}  // namespace

void LoadSettings(UserRegistry& registry, SettingsFlags& flags, const std::string& executable)
{
    if (std::unique_ptr<RegistryKey> config = tryOpen(registry, kConfigKey)) {
        flags.CyclePlay = readOption(*config, "CyclePlay");
        flags.AutoStartLeftBottom = readOption(*config, "AUTOSTARTLEFTBOTTOM");
        flags.AutoLoadDefaultList = readOption(*config, "AUTOLOADDEFAULTLIST");
    } else {
        flags.CyclePlay = flags.AutoStartLeftBottom = flags.AutoLoadDefaultList = true;
    }

    std::string text;
    if (std::unique_ptr<RegistryKey> run = tryOpen(registry, kRunKey)) {
        std::optional<RegistryValue> value = run->readValue(kRunValue);
        if (value && !value->data.empty()) {
            if (value->type != kRegSz && value->type != kRegExpandSz)
                throw ERegistryException(std::string("Invalid data type for '") + kRunValue + "'");
            text = RegistryText(*value);
        }
    }
    flags.AutoStart = !text.empty() && text == executable;
}

void SaveSettings(UserRegistry& registry, const SettingsFlags& flags,
                  const std::string& executable)
{
    if (std::unique_ptr<RegistryKey> config = tryOpen(registry, kConfigKey)) {
        try {
            config->writeDword("AUTOSTARTLEFTBOTTOM", flags.AutoStartLeftBottom ? 1 : 0);
            config->writeDword("AUTOLOADDEFAULTLIST", flags.AutoLoadDefaultList ? 1 : 0);
            config->writeDword("CYCLEPLAY", flags.CyclePlay ? 1 : 0);
        } catch (const Exception&) {
            // The options are not worth a message: the autostart entry still follows.
        }
    }

    std::unique_ptr<RegistryKey> run = tryOpen(registry, kRunKey);
    if (flags.AutoStart) {
        if (!run)
            throw ERegistryException(std::string("Failed to set data for '") + kRunValue + "'");
        run->writeString(kRunValue, executable);
    } else if (run) {
        run->deleteValue(kRunValue);
    }
}

void LoadSettings(SettingsFlags& flags)
{
    LoadSettings(*OpenUserRegistry(), flags, ExecutablePathForRegistry());
}

void SaveSettings(const SettingsFlags& flags)
{
    SaveSettings(*OpenUserRegistry(), flags, ExecutablePathForRegistry());
}

}  // namespace quavrel
