#pragma once
// What a scan hands the window: the result record, the notification codes, and the names of
// the checks a front end can ask to have run again after a repair. Kept apart from the engine
// so the problem catalogue and a console front end need nothing else.

#include "engine/DeviceCheck.h"
#include "platform/Win32Types.h"

#include <cstdint>
#include <vector>

// Booleans are the platform's 32-bit ones, -1 true and 0 false. Each check overwrites only the
// fields it owns; nothing is cleared when a new scan starts.
struct TSCANRESULT {
    BOOL SoundPlayed = 0;
    std::int32_t MasterVolume = 0; // quietest channel, 0..65535; -1: no volume control
    BOOL MasterMuted = 0;          // -1 when any channel's mute value is anything but 0
    std::int32_t SourceVolume = 0; // as MasterVolume, for source line 0 of destination 0
    BOOL SourceMuted = 0;
    BOOL MixerChecked = 0;
    BOOL ServiceInstalled = 0;
    DWORD ServiceState = 0; // 4 running; 0 cannot be opened or queried; 1 no service manager
    std::vector<INSTALDRIVER> Drivers;
    // Whether each line has a mute control at all (-1) or not (0). A line without one reads
    // mute -1, which MasterMuted / SourceMuted report as muted; only with a control is that a
    // line somebody muted.
    BOOL MasterHasMute = 0;
    BOOL SourceHasMute = 0;
    // The device status check: -1 when the sound server's devices could be read. The findings
    // below mean something only then.
    BOOL DeviceStatusChecked = 0;
    BOOL NoOutputDevice = 0;
    BOOL OutputToDummy = 0;
    BOOL OutputSwitchedOff = 0;
    BOOL OutputUnplugged = 0;
};

// The notification codes, in the order a complete scan sends them.
namespace ScanCode {
inline constexpr DWORD ScanStarted = 0;
inline constexpr DWORD SoundTestStarted = 2;
inline constexpr DWORD SoundTestDone = 7;
inline constexpr DWORD MixerCheckStarted = 3;
inline constexpr DWORD MixerCheckDone = 8;
inline constexpr DWORD ServiceCheckStarted = 4;
inline constexpr DWORD ServiceCheckDone = 9;
inline constexpr DWORD DeviceStatusStarted = 5;
inline constexpr DWORD DeviceStatusDone = 10;
inline constexpr DWORD DeviceCheckStarted = 6;
inline constexpr DWORD DeviceCheckDone = 11;
inline constexpr DWORD ScanEnded = 1;

// A code the engine sends (ScanStarted .. DeviceCheckDone); each moves the progress on.
inline constexpr bool IsKnown(DWORD code) {
    return code <= DeviceCheckDone;
}

// A code that ends a check and carries its result (SoundTestDone .. DeviceCheckDone).
inline constexpr bool IsCheckDone(DWORD code) {
    return code >= SoundTestDone && code <= DeviceCheckDone;
}
} // namespace ScanCode

// A set of checks, for running them again after a repair.
using TCheckSet = unsigned;
inline constexpr TCheckSet CheckSound = 1;
inline constexpr TCheckSet CheckMixer = 2;
inline constexpr TCheckSet CheckService = 4;
inline constexpr TCheckSet CheckDeviceStatus = 8;

// The value a line is set to by the repair, and the least that is not low.
inline constexpr std::int32_t kRepairedVolume = 32768;
