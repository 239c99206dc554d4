#include "app/uMain.h"

#include "app/Application.h"
#include "app/ConfigText.h"
#include "app/ErrorReport.h"
#include "app/FormLayout.h"
#include "app/PicturePrefetch.h"
#include "app/ProcessDefaults.h"
#include "app/PumpDelay.h"
#include "app/VersionText.h"
#include "config/ExceptionGuard.h"
#include "config/OEUnitConfig.h"
#include "config/SafeFormat.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/OEUnitXLabel.h"
#include "controls/PNGExtra.h"
#include "controls/VirtualDrawTree.h"
#include "graphics/OEUnitResource.h"
#include "platform/ModuleResources.h"
#include "platform/StartupTrace.h"
#include "platform/WindowFrame.h"
#include "threading/MessageWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#ifdef __GLIBC__
#include <malloc.h>
#include <optional>
#endif
#include <string>
#include <utility>

TOEM_FORM::TOEM_FORM(QWidget* parent) : TOEM_FORM(TFormSettings{}, parent) {}

TOEM_FORM::TOEM_FORM(TFormSettings settings, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)) {
    // A dialog-like frame: fixed size, minimise and close but no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    messageTarget_ = std::make_unique<platform::MessageTarget>(
        this,
        [this](UINT message, WPARAM wParam, LPARAM lParam) {
            return WndProc(message, wParam, lParam);
        },
        [](std::exception_ptr error) { ReportException(error); });
    SetErrorReportChannel(messageTarget_->Caller().SharedChannel());
    BuildControlTree(*this);
    platform::MarkStartupPhase("controls-built");
    FormCreate(this);
}

TOEM_FORM::~TOEM_FORM() {
    messageTarget_->Close();
    SetErrorReportChannel(nullptr);
    Guarded([this] { FormDestroy(this); });
}

HWND TOEM_FORM::Handle() {
    return messageTarget_->Handle();
}

platform::SynchronousCaller& TOEM_FORM::WindowThread() {
    return messageTarget_->Caller();
}

// Every step that loads something fails on its own: its control stays empty, and the steps
// after it - the engine's binding above all - still run. One cause (a missing configuration,
// say) fails every step after it, so the user is shown only the first failure, once.
void TOEM_FORM::FormCreate(QObject*) {
    FirstErrorReport steps;
    steps.Step([] { ApplyProcessDefaults(); });
    ApplyHandCursors(*this);
    setWindowTitle(QString::fromStdString(ApplicationTitle()));
    setFixedSize(kFormClientWidth, kFormClientHeight);
    move(kFormLeft, kFormTop);
    Report = std::make_unique<TReportPage>(OEM_FORM_TAB_0_TTS_2_VDT_0, OEM_FORM_TAB_0_TTS_2_PAL_0,
                                           OEM_FORM_TAB_0_TTS_2_IMG_1, OEM_FORM_TAB_0_TTS_2_BTN_0,
                                           settings_.RowWalkSpan);
    for (int i = 0; i < OEM_FORM_TAB_0->PageCount(); ++i) {
        OEM_FORM_TAB_0->Pages(i)->SetTabVisible(false);
    }
    TVolumeFixerSettings engine = settings_.Engine;
    if (!engine.ServiceWait.sleep) {
        // The repair's wait for the sound server keeps the window painted and closable, and a
        // close gives the wait up.
        engine.ServiceWait.sleep = [](std::chrono::milliseconds span) {
            PumpDelay(static_cast<float>(span.count()));
        };
    }
    engine.ServiceWait.abandon = [this] { return closing_; };
    Engine = std::make_unique<TOEVolumeFixer>(engine);
    platform::MarkStartupPhase("engine-created");
    LoadConfiguration(steps);
    platform::MarkStartupPhase("configuration-loaded");
    LoadPictures(steps);
    // The busy marker walks down the report rows, so it lives on the list's client area.
    OEM_FORM_TAB_0_TTS_2_PAL_0->setParent(OEM_FORM_TAB_0_TTS_2_VDT_0->viewport());
    OEM_FORM_TAB_0_TTS_2_PAL_0->show();
    LoadImageButtons(steps);
    platform::MarkStartupPhase("pictures-decoded");
    WriteVersionLabel(steps);
    BindEngine();
    createFailed_ = steps.Failed();
}

void TOEM_FORM::LoadConfiguration(FirstErrorReport& steps) {
    steps.Step([] {
        TMemoryStream& stream =
            ResourceInstance()->LoadResourceToMemory(GetModuleHandleA(nullptr), "CFG_0001", "CFG");
        ConfigerInstance().LoadStream(stream);
    });
}

namespace {

// What temporaries (of the start-up, of a decoder) left free in the heap goes back to the
// system rather than stay resident for the window's whole life.
void ReleaseFreeHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The configuration entry naming a window control's picture.
std::string PictureEntry(const QObject* control) {
    return kWelcomePicturePrefix + control->objectName().toStdString();
}

// True when the picture was decoded here rather than taken from prefetched.
bool LoadPicture(FirstErrorReport& steps, TImage* picture, TPicturePrefetch* prefetched = nullptr) {
    bool decodedHere = false;
    steps.Step([picture, prefetched, &decodedHere] {
        const std::string path = PictureEntry(picture);
        if (auto ready = prefetched ? prefetched->Take(path) : std::nullopt) {
            picture->SetPicture(std::move(*ready));
            return;
        }
        decodedHere = true;
        // The loader's own picture, replaced by its next load, is handed over whole.
        ResourceInstance()->LoadConfiguredGraphic(path, "", false);
        picture->SetGraphic(ResourceInstance()->SharedPicture().Take());
    });
    return decodedHere;
}

} // namespace

// Only what the welcome page shows; the other pages' pictures follow the first frame.
void TOEM_FORM::LoadPictures(FirstErrorReport& steps) {
    for (TImage* picture : WelcomePictures()) {
        LoadPicture(steps, picture, settings_.Prefetched);
    }
}

std::vector<TImage*> TOEM_FORM::WelcomePictures() const {
    std::vector<TImage*> pictures;
    for (const char* name : kWelcomePictures) {
        if (auto* picture = findChild<TImage*>(QString::fromLatin1(name))) {
            pictures.push_back(picture);
        }
    }
    return pictures;
}

std::vector<TImage*> TOEM_FORM::LaterPictures() const {
    return {OEM_FORM_TAB_0_TTS_1_IMG_0, OEM_FORM_TAB_0_TTS_2_IMG_0, OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0,
            OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0};
}

void TOEM_FORM::PrefetchLaterPictures() {
    if (laterPicturesLoaded_ || laterPrefetch_) {
        return;
    }
    std::vector<std::string> pictures;
    for (const TImage* picture : LaterPictures()) {
        pictures.push_back(PictureEntry(picture));
    }
    laterPrefetch_ =
        std::make_unique<TPicturePrefetch>(std::move(pictures), TReportPage::RowIconEntries());
}

void TOEM_FORM::LoadLaterPictures() {
    if (laterPicturesLoaded_) {
        return;
    }
    laterPicturesLoaded_ = true;
    // The same run of steps as the window's creation: a cause that failed there (a missing
    // configuration) was reported then, and is not reported again.
    FirstErrorReport steps(createFailed_);
    bool decodedHere = false;
    for (TImage* picture : LaterPictures()) {
        decodedHere |= LoadPicture(steps, picture, laterPrefetch_.get());
    }
    if (decodedHere) {
        ReleaseFreeHeap();
    }
}

void TOEM_FORM::LoadImageButtons(FirstErrorReport& steps) {
    for (TPNGButton* button : {OEM_FORM_TAB_0_TTS_0_BTN_0, OEM_FORM_TAB_0_TTS_0_BTN_1}) {
        steps.Step([this, button] {
            const std::string path = PictureEntry(button);
            if (auto ready = settings_.Prefetched ? settings_.Prefetched->TakeGraphic(path)
                                                  : std::nullopt) {
                button->SetImageNorm(*ready);
                return;
            }
            // Decoded as the other pictures are, so that no extracted file stays behind.
            button->SetImageNorm(ResourceInstance()->LoadConfiguredGraphic(path, "", false));
            ResourceInstance()->SharedPicture().Clear();
        });
    }
}

void TOEM_FORM::WriteVersionLabel(FirstErrorReport& steps) {
    steps.Step([this] {
        const std::string text = FormatConfigText(
            "form1#frame1#RES#OEM_FORM_TAB_0_TTS_0_LAB_1#text", {OwnFileVersionText()});
        OEM_FORM_TAB_0_TTS_0_LAB_1->setText(QString::fromStdString(text));
    });
}

void TOEM_FORM::BindEngine() {
    boundEngine_ = Engine.get();
    Engine->OnStateChange = [this](DWORD Code, TSCANRESULT* Result) { StateChange(Code, Result); };
    // The scan worker's routine reports its errors through the general error report too.
    Engine->OnWorkerError = [](std::exception_ptr error) { ReportException(error); };
}

void TOEM_FORM::FormShow(QObject*) {
    OEM_FORM_TAB_0->OnTabChange = [this](TTabSheetEx* page) { XTabChange(page); };
    OEM_FORM_TAB_0->SetActivePageIndex(kWelcomePage);
}

void TOEM_FORM::FormDestroy(QObject*) {
    if (Engine) {
        Engine->CancelRequested = true;
        Engine.reset();
    }
    if (Report) {
        Report->FreeRowIcons();
    }
}

void TOEM_FORM::XTabChange(TTabSheetEx* Page) {
    const auto index = static_cast<SmallInt>(Page != nullptr ? Page->PageIndex() : -1);
    // A page's drawn items are drawn afresh whenever it is prepared: the bitmaps of the pages
    // that no longer show are let go, and the page's own, once drawn, is held as the rows that
    // show something (a tenth of its megabyte or so).
    const SmallInt pages[] = {kWelcomePage, kScanningPage, kReportPage};
    TImage* const overlays[] = {OEM_FORM_TAB_0_TTS_0_IMG_1, OEM_FORM_TAB_0_TTS_1_IMG_1,
                                OEM_FORM_TAB_0_TTS_2_IMG_1};
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        if (pages[i] != index) {
            overlays[i]->Clear();
        }
    }
    // A page whose preparation fails (a drawn item that cannot be drawn) is reported and shown
    // as far as it got; whoever switched to it goes on - a start still starts the scan.
    Guarded([&] { PreparePage(index); });
    Guarded([&] {
        for (std::size_t i = 0; i < std::size(pages); ++i) {
            if (pages[i] == index) {
                overlays[i]->FinishDrawing();
            }
        }
    });
}

LRESULT TOEM_FORM::WndProc(UINT Message, WPARAM wParam, LPARAM lParam) {
    switch (Message) {
    case WM_SHOWPAGE:
        ShowPage(static_cast<SmallInt>(static_cast<std::uint16_t>(wParam & 0xFFFF)));
        return 0;
    case WM_SETPROGRESS:
        OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0->SetPosition(static_cast<std::int32_t>(wParam));
        return 0;
    default:
        return DefWindowProcA(Handle(), Message, wParam, lParam);
    }
}

void TOEM_FORM::BringToFront(const platform::ActivationRequest& request) {
    // Qt hands these to the window system when it activates a window.
    if (!request.activationToken.empty()) {
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(request.activationToken));
    }
    if (!request.startupId.empty()) {
        qputenv("DESKTOP_STARTUP_ID", QByteArray::fromStdString(request.startupId));
    }
    if (windowState() & Qt::WindowMinimized) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
    show();
    raise();
    activateWindow();
}

// The welcome page's pictures come in plain, so as not to hold the first frame up: now they are
// packed, the start-up's leftovers go back to the system, and the other pages' pictures are
// decoded beside the idle window.
void TOEM_FORM::AfterFirstFrame() {
    for (TImage* picture : WelcomePictures()) {
        picture->PackFrames();
    }
    ReleaseFreeHeap();
    PrefetchLaterPictures();
}

bool TOEM_FORM::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The first paint: once it has reached the screen (the loop's next turn), start-up is over.
    if (event->type() == QEvent::Paint && !firstPainted_) {
        firstPainted_ = true;
        QTimer::singleShot(0, this, [this] { Guarded([this] { AfterFirstFrame(); }); });
    }
    return handled;
}

void TOEM_FORM::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Before the window is mapped, so the window manager's frame never offers more.
    if (QWindow* window = windowHandle()) {
        platform::OfferOnlyCloseAndMinimise(*window);
    }
    // Only the first show: coming back from minimised keeps the page the user was on.
    if (!formShown_) {
        formShown_ = true;
        Guarded([this] { FormShow(this); });
    }
}

void TOEM_FORM::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        if (OnClosing) {
            Guarded([this] { OnClosing(); });
        }
    }
    if (closeDeferrals_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    // From here on nothing sent to the window reaches it; a worker waiting in a send goes on.
    messageTarget_->Close();
    SetErrorReportChannel(nullptr);
    event->accept();
}

TOEM_FORM::CloseDeferral::CloseDeferral(TOEM_FORM& form) : form_(form) {
    ++form_.closeDeferrals_;
}

TOEM_FORM::CloseDeferral::~CloseDeferral() {
    if (--form_.closeDeferrals_ == 0 && form_.closePending_) {
        form_.closePending_ = false;
        // The nested loop that held the close back has ended; closing now only hides the
        // window and lets the worker and the application's loop go.
        Guarded([this] { form_.close(); });
    }
}
