// The winmm mixer operations as any backend sees them through the platform layer: bad
// arguments are refused before a backend is asked, handles and device ids are told apart, and
// detail requests are shaped as winmm shapes them.
#include "platform/Mixer.h"
#include "platform/testing/ScriptedMixer.h"
#include "threading/MessageWindow.h"

#include <cstring>
#include <gtest/gtest.h>

using platform::ScriptedMixer;
using Op = ScriptedMixer::Operation;

namespace {

class MixerOperations : public ::testing::Test {
protected:
    MixerOperations()
        : installed(platform::MixerBackendSlot(), std::make_unique<ScriptedMixer>()),
          mixer(static_cast<ScriptedMixer&>(*installed)) {
        device = mixer.AddDevice("Scripted", MM_MICROSOFT, 9, 0x0501);
        speakers = mixer.AddDestination(device, "Speakers", 2);
        volume = mixer.AddControl(device, speakers, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {10, 20});
        mute = mixer.AddControl(device, speakers, MIXERCONTROL_CONTROLTYPE_MUTE,
                                MIXERCONTROL_CONTROLF_UNIFORM, {0});
        wave = mixer.AddSource(device, speakers, "Wave", 2, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT);
        EXPECT_EQ(mixerOpen(&handle, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    }
    ~MixerOperations() override { mixerClose(handle); }

    MIXERCONTROLDETAILS Details(DWORD control, DWORD channels, void* buffer,
                                DWORD size = sizeof(LONG)) {
        MIXERCONTROLDETAILS details;
        std::memset(&details, 0, sizeof details);
        details.cbStruct = sizeof details;
        details.dwControlID = control;
        details.cChannels = channels;
        details.cbDetails = size;
        details.paDetails = buffer;
        return details;
    }

    HMIXEROBJ Object() const { return reinterpret_cast<HMIXEROBJ>(handle); }

    platform::ScopedBackend<platform::MixerBackend> installed;
    ScriptedMixer& mixer;
    UINT device = 0;
    DWORD speakers = 0, volume = 0, mute = 0, wave = 0;
    HMIXER handle = nullptr;
};

TEST_F(MixerOperations, BadArgumentsAreRefusedBeforeTheBackendIsAsked) {
    MIXERLINEA line{};
    line.cbStruct = sizeof line - 1;
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = 24; // the 32-bit size: too small for this platform's record
    LONG values[2] = {};
    MIXERCONTROLDETAILS shortDetails = Details(volume, 2, values);
    shortDetails.cbStruct = 24;
    mixer.ClearCalls();

    EXPECT_EQ(mixerOpen(nullptr, 0, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerGetDevCapsA(0, nullptr, sizeof(MIXERCAPSA)), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerGetLineInfoA(Object(), nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerGetLineInfoA(Object(), &line, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerGetLineControlsA(Object(), &controls, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerGetControlDetailsA(Object(), &shortDetails, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerSetControlDetails(Object(), nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_TRUE(mixer.Calls().empty());
}

TEST_F(MixerOperations, OpenChecksDeviceAndCallbackWindow) {
    HMIXER other = reinterpret_cast<HMIXER>(1);
    int notAWindow = 0;
    struct Case {
        UINT device;
        DWORD_PTR callback;
        DWORD flags;
        MMRESULT expected;
    };
    for (const Case& c : {
             Case{1, 0, CALLBACK_NULL, MMSYSERR_BADDEVICEID},
             Case{0, reinterpret_cast<DWORD_PTR>(&notAWindow), CALLBACK_WINDOW,
                  MMSYSERR_INVALPARAM},
             Case{0, 0, CALLBACK_WINDOW, MMSYSERR_INVALPARAM},
             Case{0, 0, CALLBACK_FUNCTION, MMSYSERR_NOTSUPPORTED},
             Case{0, 0, 0x10000000 /* a wave device's id */, MMSYSERR_NOTSUPPORTED},
         }) {
        EXPECT_EQ(mixerOpen(&other, c.device, c.callback, 0, c.flags), c.expected)
            << c.device << " " << c.flags;
        EXPECT_EQ(other, nullptr);
    }

    platform::MessageWindow window(nullptr);
    ASSERT_EQ(
        mixerOpen(&other, 0, reinterpret_cast<DWORD_PTR>(window.Handle()), 0, CALLBACK_WINDOW),
        MMSYSERR_NOERROR);
    EXPECT_TRUE(mixer.CallsOf(Op::Open).back().withWindow);
    EXPECT_EQ(mixerClose(other), MMSYSERR_NOERROR);
    EXPECT_EQ(mixerClose(other), MMSYSERR_INVALHANDLE);
}

TEST_F(MixerOperations, ADeviceIdServesAsMixerObjectThroughATemporaryOpen) {
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    mixer.ClearCalls();
    EXPECT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(0), &line,
                                MIXER_OBJECTF_MIXER | MIXER_GETLINEINFOF_DESTINATION),
              MMSYSERR_NOERROR);
    EXPECT_STREQ(line.szName, "Speakers");
    EXPECT_EQ(mixer.CallsOf(Op::Open).size(), 1u);
    EXPECT_EQ(mixer.CallsOf(Op::Close).size(), 1u);
    EXPECT_EQ(mixer.OpenHandles().size(), 1u);

    // A handle given as HMIXER must be an open one; an id past the devices is no device.
    EXPECT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(0), &line, MIXER_OBJECTF_HMIXER),
              MMSYSERR_INVALHANDLE);
    EXPECT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(7), &line, MIXER_OBJECTF_MIXER),
              MMSYSERR_BADDEVICEID);
}

TEST_F(MixerOperations, CapabilitiesAreCopiedOnlyAsFarAsAsked) {
    MIXERCAPSA caps;
    std::memset(&caps, 0xAB, sizeof caps);
    EXPECT_EQ(mixerGetDevCapsA(0, &caps, 4), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.wMid, MM_MICROSOFT);
    EXPECT_EQ(caps.wPid, 9);
    EXPECT_EQ(caps.vDriverVersion, 0xABABABABu) << "beyond the 4 bytes asked for";

    EXPECT_EQ(mixerGetDevCapsA(reinterpret_cast<UINT_PTR>(handle), &caps, sizeof caps),
              MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "Scripted");
    EXPECT_EQ(caps.cDestinations, 1u);
    EXPECT_EQ(mixerGetDevCapsA(5, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
}

TEST_F(MixerOperations, LinesAreFoundByPositionIdAndComponentType) {
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwDestination = 0;
    line.dwSource = 0;
    ASSERT_EQ(mixerGetLineInfoA(Object(), &line, MIXER_GETLINEINFOF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(line.dwLineID, wave);
    EXPECT_EQ(line.cChannels, 2u);
    EXPECT_NE(line.fdwLine & MIXERLINE_LINEF_SOURCE, 0u);

    std::memset(&line, 0, sizeof line);
    line.cbStruct = sizeof line;
    line.dwLineID = speakers;
    ASSERT_EQ(mixerGetLineInfoA(Object(), &line, MIXER_GETLINEINFOF_LINEID), MMSYSERR_NOERROR);
    EXPECT_EQ(line.cConnections, 1u);
    EXPECT_EQ(line.cControls, 2u);
    EXPECT_STREQ(line.Target.szPname, "Scripted");

    line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    ASSERT_EQ(mixerGetLineInfoA(Object(), &line, MIXER_GETLINEINFOF_COMPONENTTYPE),
              MMSYSERR_NOERROR);
    EXPECT_EQ(line.dwLineID, wave);

    line.dwSource = 3;
    EXPECT_EQ(mixerGetLineInfoA(Object(), &line, MIXER_GETLINEINFOF_SOURCE), MMSYSERR_INVALPARAM);
    line.dwLineID = 0x1234;
    EXPECT_EQ(mixerGetLineInfoA(Object(), &line, MIXER_GETLINEINFOF_LINEID), MIXERR_INVALLINE);
}

TEST_F(MixerOperations, ControlsComeAsTheLineCountsThem) {
    MIXERCONTROLA block[2];
    MIXERLINECONTROLSA request{};
    request.cbStruct = sizeof request;
    request.dwLineID = speakers;
    request.cControls = 2;
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = block;
    ASSERT_EQ(mixerGetLineControlsA(Object(), &request, MIXER_GETLINECONTROLSF_ALL),
              MMSYSERR_NOERROR);
    EXPECT_EQ(block[0].dwControlID, volume);
    EXPECT_EQ(block[0].dwControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
    EXPECT_EQ(block[0].Bounds.dwMaximum, 65535u);
    EXPECT_EQ(block[1].dwControlType, MIXERCONTROL_CONTROLTYPE_MUTE);
    EXPECT_EQ(block[1].fdwControl, MIXERCONTROL_CONTROLF_UNIFORM);

    // A block sized for another count would be overrun or left half-filled.
    request.cControls = 1;
    EXPECT_EQ(mixerGetLineControlsA(Object(), &request, MIXER_GETLINECONTROLSF_ALL),
              MMSYSERR_INVALPARAM);
    request.cControls = 2;
    request.cbmxctrl = 100;
    EXPECT_EQ(mixerGetLineControlsA(Object(), &request, MIXER_GETLINECONTROLSF_ALL),
              MMSYSERR_INVALPARAM);

    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.cControls = 1;
    request.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    ASSERT_EQ(mixerGetLineControlsA(Object(), &request, MIXER_GETLINECONTROLSF_ONEBYTYPE),
              MMSYSERR_NOERROR);
    EXPECT_EQ(block[0].dwControlID, mute);
}

TEST_F(MixerOperations, DetailRequestsMustMatchTheControlsShape) {
    LONG values[4] = {};
    struct Case {
        const char* what;
        DWORD control, channels, items, size, query;
        MMRESULT expected;
    };
    for (const Case& c : {
             Case{"stereo read", volume, 2, 0, 4, 0, MMSYSERR_NOERROR},
             Case{"three channels", volume, 3, 0, 4, 0, MMSYSERR_INVALPARAM},
             Case{"items on a plain control", volume, 2, 2, 4, 0, MMSYSERR_INVALPARAM},
             Case{"value size", volume, 2, 0, 8, 0, MMSYSERR_INVALPARAM},
             Case{"texts of a plain control", volume, 2, 0, 72, 1, MMSYSERR_INVALPARAM},
             Case{"unknown control", 999, 1, 0, 4, 0, MIXERR_INVALCONTROL},
         }) {
        MIXERCONTROLDETAILS details = Details(c.control, c.channels, values, c.size);
        details.cMultipleItems = c.items;
        EXPECT_EQ(mixerGetControlDetailsA(Object(), &details, c.query), c.expected) << c.what;
    }
    MIXERCONTROLDETAILS noBuffer = Details(volume, 2, nullptr);
    EXPECT_EQ(mixerGetControlDetailsA(Object(), &noBuffer, 0), MMSYSERR_INVALPARAM);
}

TEST_F(MixerOperations, OneChannelReadsTheFirstAndWritesEveryChannel) {
    LONG one = 0;
    MIXERCONTROLDETAILS details = Details(volume, 1, &one);
    ASSERT_EQ(mixerGetControlDetailsA(Object(), &details, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(one, 10);

    one = 500;
    ASSERT_EQ(mixerSetControlDetails(Object(), &details, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mixer.Values(device, volume), (std::vector<LONG>{500, 500}));

    // And a uniform control read per channel repeats its one value.
    LONG two[2] = {-1, -1};
    mixer.SetValues(device, mute, {1});
    MIXERCONTROLDETAILS both = Details(mute, 2, two);
    ASSERT_EQ(mixerGetControlDetailsA(Object(), &both, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(two[0], 1);
    EXPECT_EQ(two[1], 1);
}

TEST_F(MixerOperations, SourceListsNameTheLinesTheySelect) {
    DWORD list = mixer.AddMux(device, speakers, {wave}, {1});
    MIXERCONTROLDETAILS_LISTTEXTA text{};
    MIXERCONTROLDETAILS details = Details(list, 1, &text, sizeof text);
    details.cMultipleItems = 1;
    ASSERT_EQ(mixerGetControlDetailsA(Object(), &details, MIXER_GETCONTROLDETAILSF_LISTTEXT),
              MMSYSERR_NOERROR);
    EXPECT_EQ(text.dwParam1, wave);
    EXPECT_EQ(text.dwParam2, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT);
    EXPECT_STREQ(text.szName, "Wave");
}

TEST(MessageWindow, RefusesHandlesThatAreNoLiveWindow) {
    int notAWindow = 0;
    EXPECT_FALSE(platform::MessageWindow::Post(&notAWindow, MM_MIXM_CONTROL_CHANGE, 0, 0));
    EXPECT_FALSE(platform::MessageWindow::Post(nullptr, MM_MIXM_CONTROL_CHANGE, 0, 0));
    HWND stale = nullptr;
    {
        platform::MessageWindow window(nullptr);
        stale = window.Handle();
        EXPECT_TRUE(platform::MessageWindow::IsWindow(stale));
    }
    EXPECT_FALSE(platform::MessageWindow::IsWindow(stale));
    bool ran = false;
    EXPECT_FALSE(
        platform::MessageWindow::PostTask(stale, [&](platform::MessageWindow&) { ran = true; }));
    EXPECT_FALSE(ran);
}

} // namespace
