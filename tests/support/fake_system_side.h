// The system's side of a recording as a test holds it: what is held now, and Windows' part of a
// key held down (its repeats reach the window unless the key was held without them).
#pragma once

#include "recording/system_side.h"

#include <map>

class FakeSystemSide : public ISystemSide {
public:
    void HoldAwake(bool systemHeld, bool displayHeld) override {
        system = systemHeld;
        display = displayHeld;
    }
    void BlockShutdown(bool block) override { shutdownBlocked = block; }
    bool HoldKey(int id, uint32_t modifiers, uint32_t) override {
        if (keyTaken)
            return false;
        keys[id] = modifiers;
        return true;
    }
    void LetKeyGo(int id) override { keys.erase(id); }
    bool HasModernStandby() override { return modernStandby; }
    PowerSource Power() override { return power; }

    // The presses the window hears of a key held down through this many of the keyboard's
    // repeats.
    int PressesOfKeyHeld(int id, int repeats) const {
        const auto key = keys.find(id);
        return key == keys.end() ? 0 : (key->second & KEY_NO_REPEAT) ? 1 : 1 + repeats;
    }
    bool LetGo() const { return !system && !display && !shutdownBlocked && keys.empty(); }

    bool system = false, display = false, shutdownBlocked = false;
    std::map<int, uint32_t> keys; // held: their modifiers
    bool keyTaken = false;        // another program holds every key
    bool modernStandby = false;
    PowerSource power = POWER_AC;
};
