#pragma once
// The main window: the one window of the program, a fixed-size frame holding the tab-less page
// container with the welcome, scanning and report pages. Its controls are made as the form
// lays them out (FormLayout.cpp); what it loads when it is created, how it is shown and closed,
// and the two private messages through which the scan worker reaches it are here.

#include "app/WindowEngine.h"
#include "config/Picture.h"
#include "platform/InstanceActivation.h"
#include "platform/SendMessage.h"
#include "platform/Win32Types.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

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

constexpr int kRowIconCount = 5;

class TOEM_FORM : public QWidget {
public:
    // Makes the controls, then runs FormCreate.
    explicit TOEM_FORM(QWidget* parent = nullptr);
    // Runs FormDestroy, then the controls go.
    ~TOEM_FORM() override;

    // The controls, owned by the window through Qt's parent tree.
    TPageControlEx* OEM_FORM_TAB_0 = nullptr;
    TImage* OEM_FORM_IMG_0 = nullptr;
    TTabSheetEx* OEM_FORM_TAB_0_TTS_0 = nullptr;
    TPNGButton* OEM_FORM_TAB_0_TTS_0_BTN_0 = nullptr;
    TPNGButton* OEM_FORM_TAB_0_TTS_0_BTN_1 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_0_IMG_0 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_0_IMG_1 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_0_IMG_2 = nullptr;
    TOEXLabel* OEM_FORM_TAB_0_TTS_0_LAB_0 = nullptr;
    TTabSheetEx* OEM_FORM_TAB_0_TTS_1 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_1_IMG_0 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_1_IMG_1 = nullptr;
    QWidget* OEM_FORM_TAB_0_TTS_1_PAL_0 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0 = nullptr;
    QLabel* OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0 = nullptr;
    TVistaProBar* OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0 = nullptr;
    TOEButtonEx* OEM_FORM_TAB_0_TTS_1_BTN_0 = nullptr;
    TTabSheetEx* OEM_FORM_TAB_0_TTS_2 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_2_IMG_0 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_2_IMG_1 = nullptr;
    TOEButtonEx* OEM_FORM_TAB_0_TTS_2_BTN_0 = nullptr;
    TVirtualDrawTree* OEM_FORM_TAB_0_TTS_2_VDT_0 = nullptr;
    QWidget* OEM_FORM_TAB_0_TTS_2_PAL_0 = nullptr;
    TImage* OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0 = nullptr;
    TOEXLabel* OEM_FORM_TAB_0_TTS_0_LAB_1 = nullptr;

    std::unique_ptr<TOEVolumeFixer> Engine;
    // Icons of the report rows; rows refer to the graphic a slot holds and do not own it.
    std::array<std::unique_ptr<TPicture>, kRowIconCount> RowIcons;

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

    // What the scan flow adds to a page's preparation, after the window's own part.
    std::function<void(SmallInt Index)> OnPreparePage;

    // The handle SendMessageA takes; messages sent to it run WndProc on the window's thread.
    HWND Handle();
    // Carries other work to the window's thread the same way, the sender waiting.
    platform::SynchronousCaller& WindowThread();

    // A later start of the program asked us to come forward: restore from minimised, raise,
    // activate, with the desktop's token when it handed one on.
    void BringToFront(const platform::ActivationRequest& request);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void LoadConfiguration();
    void LoadPictures();
    void LoadImageButtons();
    void WriteVersionLabel();
    void BindEngine();
    void PrepareWelcomeControls();

    std::unique_ptr<platform::MessageTarget> messageTarget_;
    bool formShown_ = false;
};
