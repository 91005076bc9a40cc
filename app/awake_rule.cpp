#include "app/awake_rule.h"

AwakeRule::Needs AwakeRule::Follow(bool recording, bool modernStandby, PowerSource source) {
    Needs needs;
    needs.system = recording;
    needs.display = recording && modernStandby && source != POWER_AC;
    needs.tell = needs.display && !m_display;
    m_display = needs.display;
    return needs;
}
