#include "recording/system_side.h"

#include "recording/recording.h"
#include "recording/recording_policy.h"

CSystemFollower::CSystemFollower(ISystemSide& system, CRecording& recording)
    : m_system(system), m_recording(recording), m_modernStandby(system.HasModernStandby()) {}

CSystemFollower::~CSystemFollower() {
    Follow(RecordingView());
}

// The key is asked for once a recording, and let go at its end.
CSystemFollower::Said CSystemFollower::Follow(const RecordingView& view) {
    m_active = view.Active();
    Said said = FollowPower();
    if (m_active != m_shutdownBlocked) {
        m_shutdownBlocked = m_active;
        m_system.BlockShutdown(m_active);
    }
    if (!m_active) {
        if (m_keyHeld)
            m_system.LetKeyGo(kMarkerKey);
        m_keyHeld = m_keyTried = false;
        return said;
    }
    if (m_keyTried)
        return said;
    m_keyTried = true;
    m_keyHeld = m_system.HoldKey(kMarkerKey, kMarkerModifiers, kMarkerVirtualKey);
    if (!m_keyHeld && !m_keyRefusalSaid)
        said.keyTaken = m_keyRefusalSaid = true;
    return said;
}

CSystemFollower::Said CSystemFollower::PowerChanged() {
    return FollowPower();
}

// On a Modern Standby laptop on battery the display stays on while recording, said once (and
// again when the cord is pulled mid-recording).
CSystemFollower::Said CSystemFollower::FollowPower() {
    const AwakeRule::Needs needs = m_awakeRule.Follow(m_active, m_modernStandby, m_system.Power());
    m_system.HoldAwake(needs.system, needs.display);
    Said said;
    said.displayKeptOn = needs.tell;
    return said;
}

void CSystemFollower::Suspending() {
    m_recording.FlushNow(kSleepFlushWaitMs);
}

void CSystemFollower::Resumed() {
    m_recording.ReopenInput();
}

void CSystemFollower::DisplayOff() {
    m_recording.FlushNow(0);
}
