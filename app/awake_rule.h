// What a recording asks of the computer's power: the system kept from sleeping while it runs, is
// paused or waits for its input; and the display kept on too where that is the one request
// Windows honours. On a computer with Modern Standby running on battery, Windows ends the
// system's requests a few minutes after the display goes off, and with them the sound; there the
// display stays on, and the user is told why once (and again when the power cord is pulled
// mid-recording). Where the power source cannot be told, it is taken as the battery.
#pragma once

enum PowerSource { POWER_AC, POWER_BATTERY, POWER_UNKNOWN };

class AwakeRule {
public:
    struct Needs {
        bool system = false;  // the system kept from sleeping
        bool display = false; // the display kept on
        bool tell = false;    // the display is kept on from now: the user hears why
    };
    // After every change of the recording's state or the power source.
    Needs Follow(bool recording, bool modernStandby, PowerSource source);

private:
    bool m_display = false;
};
