#pragma once
// The main window: the one window of the program, a fixed-size frame holding the tab-less page
// container with the welcome, scanning and report pages. Its controls are made as the form
// lays them out (FormLayout.cpp); what it loads when it is created, how it is shown and closed,
// and the two private messages through which the scan worker reaches it are in uMain.cpp; what
// the user sees of a scan and a repair (the buttons, the engine's notifications) in
// uMainFlow.cpp; the switching and preparing of pages in uMainPages.cpp. The report page - its
// list, row icons, heading and the repair walk - is a part of its own (ReportPage.h).

#include "app/ReportPage.h"
#include "app/WindowEngine.h"
#include "platform/InstanceActivation.h"
#include "platform/Win32Types.h"
#include "threading/SendMessage.h"

#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class FirstErrorReport;
class QLabel;
class TImage;
class TOEButtonEx;
class TOEXLabel;
class TPNGButton;
class TPageControlEx;
class TTabSheetEx;
class TVirtualDrawTree;
class TVistaProBar;

using SmallInt = std::int16_t;

// The window's private messages.
constexpr UINT WM_SHOWPAGE = WM_USER + 100;    // wParam: page index, its low 16 bits signed
constexpr UINT WM_SETPROGRESS = WM_USER + 101; // wParam: the progress bar's new position

// The page container's pages.
constexpr SmallInt kWelcomePage = 0;
constexpr SmallInt kScanningPage = 1;
constexpr SmallInt kReportPage = 2;

// What a window can be made with besides the defaults; tests shorten the waits.
class TPicturePrefetch;

// The pictures the welcome page shows, by control name, found under "form1#frame1#RES#"; the
// other pages' pictures are decoded once the first frame is on the screen.
inline constexpr const char* kWelcomePictures[] = {"OEM_FORM_IMG_0", "OEM_FORM_TAB_0_TTS_0_IMG_0"};
inline constexpr const char* kWelcomeImageButtons[] = {"OEM_FORM_TAB_0_TTS_0_BTN_0",
                                                      "OEM_FORM_TAB_0_TTS_0_BTN_1"};
inline constexpr const char* kWelcomePicturePrefix = "form1#frame1#RES#";

struct TFormSettings {
    // The worker's wait after each check's result, so the user can read it.
    std::chrono::milliseconds HoldSpan{4000};
    // How long the repair's busy marker stays on each report row.
    std::chrono::milliseconds RowWalkSpan{3000};
    TVolumeFixerSettings Engine;
    // The welcome page's pictures decoded ahead of the window, or none; not owned.
    TPicturePrefetch* Prefetched = nullptr;
};

class TOEM_FORM : public QWidget {
public:
    // Makes the controls, then runs FormCreate.
    explicit TOEM_FORM(QWidget* parent = nullptr);
    explicit TOEM_FORM(TFormSettings settings, QWidget* parent = nullptr);
    // Runs FormDestroy, then the controls go.
    ~TOEM_FORM() override;

    // The controls, owned by the window through Qt's parent tree.
    // The page container holding the three pages.
    TPageControlEx* OEM_FORM_TAB_0 = nullptr;
    // The window's background picture.
    TImage* OEM_FORM_IMG_0 = nullptr;
    // The welcome page.
    TTabSheetEx* OEM_FORM_TAB_0_TTS_0 = nullptr;
    // The Start button.
    TPNGButton* OEM_FORM_TAB_0_TTS_0_BTN_0 = nullptr;
    // The button to the maker's social page.
    TPNGButton* OEM_FORM_TAB_0_TTS_0_BTN_1 = nullptr;
    // The welcome page's background picture.
    TImage* OEM_FORM_TAB_0_TTS_0_IMG_0 = nullptr;
    // The overlay the welcome page's items are drawn on.
    TImage* OEM_FORM_TAB_0_TTS_0_IMG_1 = nullptr;
    // An empty 32 x 32 spot on the welcome page, never given a picture.
    TImage* OEM_FORM_TAB_0_TTS_0_IMG_2 = nullptr;
    // The tech-support link.
    TOEXLabel* OEM_FORM_TAB_0_TTS_0_LAB_0 = nullptr;
    // The scanning page.
    TTabSheetEx* OEM_FORM_TAB_0_TTS_1 = nullptr;
    // The scanning page's background picture.
    TImage* OEM_FORM_TAB_0_TTS_1_IMG_0 = nullptr;
    // The overlay the scanning page's items are drawn on.
    TImage* OEM_FORM_TAB_0_TTS_1_IMG_1 = nullptr;
    // The panel around the scan's busy picture, status and progress.
    QWidget* OEM_FORM_TAB_0_TTS_1_PAL_0 = nullptr;
    // The animated busy picture while a scan runs.
    TImage* OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0 = nullptr;
    // The status line naming the check that runs.
    QLabel* OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0 = nullptr;
    // The scan's progress bar.
    TVistaProBar* OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0 = nullptr;
    // The Cancel button.
    TOEButtonEx* OEM_FORM_TAB_0_TTS_1_BTN_0 = nullptr;
    // The report page.
    TTabSheetEx* OEM_FORM_TAB_0_TTS_2 = nullptr;
    // The report page's background picture.
    TImage* OEM_FORM_TAB_0_TTS_2_IMG_0 = nullptr;
    // The overlay the report page's items and heading are drawn on.
    TImage* OEM_FORM_TAB_0_TTS_2_IMG_1 = nullptr;
    // The Fix button.
    TOEButtonEx* OEM_FORM_TAB_0_TTS_2_BTN_0 = nullptr;
    // The list of problems found.
    TVirtualDrawTree* OEM_FORM_TAB_0_TTS_2_VDT_0 = nullptr;
    // The busy marker walking down the rows during a repair.
    QWidget* OEM_FORM_TAB_0_TTS_2_PAL_0 = nullptr;
    // The busy marker's animated picture.
    TImage* OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0 = nullptr;
    // The version label on the welcome page.
    TOEXLabel* OEM_FORM_TAB_0_TTS_0_LAB_1 = nullptr;

    std::unique_ptr<TOEVolumeFixer> Engine;
    // The report page's list, row icons, heading and repair walk.
    std::unique_ptr<TReportPage> Report;

    // The form's handlers.
    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void XTabChange(TTabSheetEx* Page);
    // The engine's OnStateChange, on the scan worker's thread.
    void StateChange(DWORD Code, TSCANRESULT* Result);
    void XBtnClick(QObject* Sender);
    // The window procedure: WM_SHOWPAGE and WM_SETPROGRESS are handled and answered with 0,
    // everything else goes to the default procedure.
    virtual LRESULT WndProc(UINT Message, WPARAM wParam, LPARAM lParam);

    void ShowPage(SmallInt Index);
    void PreparePage(SmallInt Index);
    // The pictures of the scanning and report pages (backgrounds, busy indicators), given to
    // their controls when one of those pages is first prepared; a later call does nothing. They
    // are decoded ahead on a thread of their own once the first frame is on the screen (held as
    // runs, a few dozen KB), together with the report's icons; what could not be decoded there
    // is loaded here, and a failure is reported as the creation's are.
    void LoadLaterPictures();
    bool LaterPicturesLoaded() const { return laterPicturesLoaded_; }
    // Whether their decoding ahead has begun (the first frame has been painted).
    bool LaterPicturesDecodingAhead() const { return laterPrefetch_ != nullptr; }
    // "Your computer sound works fine.", returning when the user closed the box.
    void ShowNoProblems();
    // The report page's repair (TReportPage::RunRepair), a close waiting until it has ended.
    TRepairCount RunRepair();

    // Told of every page preparation, as it begins (tests watch the pages prepared).
    std::function<void(SmallInt Index)> OnPreparePage;
    // Told once, first thing, when the window begins to close - also when the close has to
    // wait for a repair or a message box to end.
    std::function<void()> OnClosing;

    // The handle SendMessageA takes; messages sent to it run WndProc on the window's thread.
    HWND Handle();
    // Carries other work to the window's thread the same way, the sender waiting.
    platform::SynchronousCaller& WindowThread();

    // A later start of the program asked us to come forward: restore from minimised, raise,
    // activate, with the desktop's token when it handed one on.
    void BringToFront(const platform::ActivationRequest& request);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // While the repair walks or one of the flow's message boxes is open, a close waits until
    // that has ended: the window never goes from under a nested event loop.
    void closeEvent(QCloseEvent* event) override;

private:
    // Holds a close back while it lives; the last one to go carries out the close it held.
    class CloseDeferral {
    public:
        explicit CloseDeferral(TOEM_FORM& form);
        ~CloseDeferral();
        CloseDeferral(const CloseDeferral&) = delete;
        CloseDeferral& operator=(const CloseDeferral&) = delete;

    private:
        TOEM_FORM& form_;
    };

    void LoadConfiguration(FirstErrorReport& steps);
    void LoadPictures(FirstErrorReport& steps);
    void LoadImageButtons(FirstErrorReport& steps);
    void WriteVersionLabel(FirstErrorReport& steps);
    void BindEngine();
    void PrefetchLaterPictures();
    void AfterFirstFrame();
    std::vector<TImage*> WelcomePictures() const;
    std::vector<TImage*> LaterPictures() const;

    // Pages (uMainPages.cpp).
    void PrepareWelcomeControls();
    void FitLinkLabel();
    void DrawPageItems(SmallInt Index, TImage* overlay);

    // The scan and the repair (uMainFlow.cpp).
    bool CarryToWindow(std::function<void()> task);
    void ScanEnded();
    void StartClicked();
    void SocialClicked();
    void CancelClicked();
    void FixClicked();
    int FlowMessageBox(const std::string& text, UINT flags);

    const TFormSettings settings_;
    std::unique_ptr<platform::MessageTarget> messageTarget_;
    bool formShown_ = false;
    bool createFailed_ = false; // FormCreate reported an error
    bool laterPicturesLoaded_ = false;
    bool firstPainted_ = false;
    std::unique_ptr<TPicturePrefetch> laterPrefetch_; // started after the first paint
    // The engine the worker's notifications come from; set before the first scan and valid
    // until the engine has joined its worker, unlike Engine, which FormDestroy clears first.
    TOEVolumeFixer* boundEngine_ = nullptr;
    // Above 0 while the window's thread is serving the worker's last notification (under the
    // "works fine" box, say): a new scan must not start then - it would wait for that worker,
    // which waits for us. Only touched on the window's thread.
    int servingScanEnd_ = 0;
    // Set by the report page's preparation when it lists nothing; ShowPage then tells the
    // user so and goes back to the welcome page.
    bool reportFoundNothing_ = false;
    int closeDeferrals_ = 0;
    bool closePending_ = false;
    bool closing_ = false; // a close was asked for; what the window waits for is given up
};
