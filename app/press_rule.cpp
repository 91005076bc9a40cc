#include "app/press_rule.h"

#include <algorithm>

namespace {

// What a busy machine may add to a repeat's time.
constexpr uint32_t kLatenessMs = 150;

} // namespace

void PressRule::SetKeyboard(uint32_t repeatDelayMs, uint32_t repeatPeriodMs) {
    m_delayMs = std::clamp<uint32_t>(repeatDelayMs, 250, 1000);
    m_periodMs = std::clamp<uint32_t>(repeatPeriodMs, 33, 400);
}

bool PressRule::KeyActs(int command, bool repeat, uint32_t nowMs) {
    m_keyPending = true;
    m_lastCommand = command;
    m_lastMs = nowMs;
    return !repeat;
}

uint32_t PressRule::WindowMs() const {
    return std::max(m_delayMs, m_periodMs) + kLatenessMs;
}

// The time rule's window slides with every message of the held key, so a key held for minutes
// stays one press; another command between ends it.
bool PressRule::Acts(int command, uint32_t nowMs) {
    if (m_keyPending)
        return false; // the key's own message has acted (or repeated)
    const bool acts = command != m_lastCommand || nowMs - m_lastMs >= WindowMs();
    m_lastCommand = command;
    m_lastMs = nowMs;
    return acts;
}
