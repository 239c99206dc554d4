#ifndef TMAUDIOMANAGER_H
#define TMAUDIOMANAGER_H
/*
 * tmaudiomanager — the device-diagnosis library Tonemender loads at run time
 * ("tmaudiomanager.dll" to the program, libtmaudiomanager.so on Linux).
 *
 * Anything that exports the two entries below with exactly this behaviour and this record
 * layout can replace our build. The program looks both entries up by name; when either is
 * missing it does not use the library at all.
 *
 * ---------------------------------------------------------------------------------------------
 * The device record (TMDeviceRecord), as it crosses the boundary on this platform
 * ---------------------------------------------------------------------------------------------
 *   offset 0                   Text         pointer to zero-terminated UTF-16 (char16_t) text
 *   offset sizeof(void*)       HardwareIds  pointer to zero-terminated UTF-16 (char16_t) text
 *   offset 2*sizeof(void*)     Value        unsigned 32-bit
 *   offset 2*sizeof(void*)+4   Flags        unsigned 32-bit
 *   size   2*sizeof(void*)+8   (24 bytes on 64-bit Linux, 16 on a 32-bit build)
 *
 * Text is a readable, one-line description of the device and its problem, at most 248 UTF-16
 * units. The program keeps it but does not interpret it.
 *
 * HardwareIds holds the device's hardware ids in the Windows form, joined by "#", the most
 * specific first, at most 248 UTF-16 units in all (plain ASCII in practice). Ids that would not
 * fit are left off from the least specific end. The forms we produce:
 *   PCI function   PCI\VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS&REV_rr   (SUBSYS: subsystem device,
 *                  PCI\VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS           then subsystem vendor)
 *                  PCI\VEN_vvvv&DEV_dddd&CC_ccsspp
 *                  PCI\VEN_vvvv&DEV_dddd
 *                  PCI\VEN_vvvv&CC_ccsspp
 *                  PCI\CC_ccsspp
 *   HD-audio codec HDAUDIO\FUNC_ff&VEN_vvvv&DEV_dddd&SUBSYS_ssssssss&REV_rrrr
 *                  HDAUDIO\FUNC_ff&VEN_vvvv&DEV_dddd&SUBSYS_ssssssss
 *                  HDAUDIO\FUNC_ff&VEN_vvvv&DEV_dddd&REV_rrrr
 *                  HDAUDIO\FUNC_ff&VEN_vvvv&DEV_dddd
 *                  HDAUDIO\FUNC_ff&VEN_vvvv
 *                  HDAUDIO\FUNC_ff
 *                  (FUNC 01 = audio function group, 02 = modem; REV = bits 23..8 of the
 *                  codec's revision id)
 *   USB interface  USB\VID_vvvv&PID_pppp&REV_rrrr&MI_ii
 *                  USB\VID_vvvv&PID_pppp&MI_ii
 *                  USB\VID_vvvv&PID_pppp
 *                  USB\Class_cc&SubClass_ss&Prot_pp
 *                  USB\Class_cc&SubClass_ss
 *                  USB\Class_cc
 *                  (REV = bcdDevice; the class triple is the interface's)
 *
 * Value says what is wrong (TM_PROBLEM_...). Flags carries TM_DEVICE_... bits; bit 3
 * (TM_DEVICE_SKIP_DRIVER_LOOKUP, value 8) marks a device for which looking up a driver is
 * pointless — it already has one, or it gives no usable identity.
 *
 * ---------------------------------------------------------------------------------------------
 * int32_t CheckDeviceProblem(TMDeviceCallback callback)
 * ---------------------------------------------------------------------------------------------
 * Finds the machine's audio hardware in sysfs — PCI functions of class 0x0401 (audio) and
 * 0x0403 (HD-audio controller), devices on the hdaudio bus (codecs), and USB devices with
 * interfaces of class 01 (audio) — and calls `callback` once for every device that has a
 * problem, on the calling thread, before returning. The record and its texts are valid only
 * during that one call. Returns the number of records passed; 0 (and no call) when `callback`
 * is null. The callback must not throw and must not call back into this library.
 *
 * What counts as a problem, and the sysfs evidence for it:
 *   TM_PROBLEM_NO_DRIVER (1)    the device has no "driver" link: no kernel driver is bound.
 *                               For a USB device: none of its audio interfaces is bound.
 *   TM_PROBLEM_NO_PLAYBACK (2)  a driver is bound, but no sound card below the device has a
 *                               playback device (no "sound/cardN/pcmCnDmp" entry), or there is
 *                               no card at all. For USB this is only judged when the device's
 *                               "descriptors" show an audio streaming interface with an OUT
 *                               isochronous data endpoint (a microphone has no playback to
 *                               miss); without readable descriptors only "no card" counts.
 *   TM_PROBLEM_UNUSABLE (3)     the kernel reports the device unusable: its
 *                               "power/runtime_status" reads "error" (a power transition
 *                               failed and the kernel will not retry it), or — for a codec —
 *                               it shows neither an audio nor a modem function group
 *                               ("afg" and "mfg" both 0), or a vendor id of 0 or 0xffffffff
 *                               (the codec did not answer its identification).
 * A device with no driver is reported as TM_PROBLEM_NO_DRIVER even when other evidence exists.
 * The records come in the order PCI functions, codecs, USB devices, each sorted by sysfs name.
 *
 * The sysfs root is "/sys", or the directory named by the environment variable
 * TMAUDIOMANAGER_SYSFS_ROOT (for tests). Missing or odd entries never fail the call: a device
 * whose class or ids cannot be read is left out; unreadable evidence counts as absent.
 *
 * ---------------------------------------------------------------------------------------------
 * int32_t QueryDeviceHwids(const char* query)
 * ---------------------------------------------------------------------------------------------
 * Answers 1 when the driver data knows a driver for the hardware id in `query`, else 0.
 * `query` must have exactly the form
 *       SELECT * FROM <table> WHERE hwid = '<id>';
 * with <table> one of HDAUDIO, OTHER, PCI, USB. Anything else answers 0. The text is never
 * executed: the id is taken out and only ever bound as a parameter of fixed statements.
 *
 * The id is turned into the kernel module alias fields it stands for and matched against the
 * glob patterns of the running kernel's modules.alias (for example
 * "pci:v00008086d0000A170sv*sd*bc*sc*i*"). A field the id names must match the pattern's field;
 * a field the id does not name matches only a pattern field that accepts anything. Table PCI
 * takes PCI\ ids, USB takes USB\ ids, HDAUDIO takes HDAUDIO\ ids, and each also takes an id
 * already written as a modalias of its bus ("pci:...", "usb:...", "hdaudio:..."). OTHER holds
 * the aliases of every other bus and takes ids written as such a modalias ("acpi:INT343A:").
 * An HDAUDIO id stands for the kernel's HD-audio codec interface (alias field "a01").
 *
 * The driver data is a SQLite database with the tables HDAUDIO, OTHER, PCI and USB, built from
 * modules.alias in one transaction on first use and kept in
 * $XDG_CACHE_HOME/tonemender/tmaudiomanager-drivers.sqlite (else ~/.cache/tonemender/...),
 * written to a private temporary file beside it and renamed into place. It is rebuilt when the
 * kernel release, the alias file's location, size, modification time or inode changes, and
 * when the cached file turns out damaged. Without a usable cache directory the data is built in
 * memory for the life of the process.
 *
 * modules.alias is /lib/modules/<release>/modules.alias (or /usr/lib/modules/...), or the file
 * named by TMAUDIOMANAGER_MODULES_ALIAS (for tests). Without it (containers, some virtual
 * machines) the driver data is empty, nothing is written, and every query answers 0. Malformed
 * lines are skipped. Safe to call from several threads.
 */

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32)
#define TMAUDIOMANAGER_API __declspec(dllexport)
#else
#define TMAUDIOMANAGER_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TMDeviceRecord {
    const char16_t* Text;
    const char16_t* HardwareIds;
    uint32_t Value;
    uint32_t Flags;
} TMDeviceRecord;

/* Values of TMDeviceRecord.Value. */
enum { TM_PROBLEM_NO_DRIVER = 1, TM_PROBLEM_NO_PLAYBACK = 2, TM_PROBLEM_UNUSABLE = 3 };

/* Bits of TMDeviceRecord.Flags. */
enum { TM_DEVICE_DRIVER_BOUND = 1, TM_DEVICE_SKIP_DRIVER_LOOKUP = 8 };

/* Longest text, in UTF-16 units without the terminator, that we put in either text field. */
enum { TM_MAX_TEXT_UNITS = 248 };

/* Returns nonzero; the library ignores the result. */
typedef int32_t (*TMDeviceCallback)(const TMDeviceRecord* record);

TMAUDIOMANAGER_API int32_t CheckDeviceProblem(TMDeviceCallback callback);
TMAUDIOMANAGER_API int32_t QueryDeviceHwids(const char* query);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(offsetof(TMDeviceRecord, Text) == 0, "Text comes first");
static_assert(offsetof(TMDeviceRecord, HardwareIds) == sizeof(void*), "then HardwareIds");
static_assert(offsetof(TMDeviceRecord, Value) == 2 * sizeof(void*), "then Value");
static_assert(offsetof(TMDeviceRecord, Flags) == 2 * sizeof(void*) + 4, "then Flags");
static_assert(sizeof(TMDeviceRecord) == 2 * sizeof(void*) + 8, "no padding beyond the fields");
#else
_Static_assert(offsetof(TMDeviceRecord, Text) == 0, "Text comes first");
_Static_assert(offsetof(TMDeviceRecord, HardwareIds) == sizeof(void*), "then HardwareIds");
_Static_assert(offsetof(TMDeviceRecord, Value) == 2 * sizeof(void*), "then Value");
_Static_assert(offsetof(TMDeviceRecord, Flags) == 2 * sizeof(void*) + 4, "then Flags");
_Static_assert(sizeof(TMDeviceRecord) == 2 * sizeof(void*) + 8, "no padding beyond the fields");
#endif

#endif /* TMAUDIOMANAGER_H */
