#include "app/FormLayout.h"

#include "app/ProcessDefaults.h"
#include "app/uMain.h"
#include "config/ExceptionGuard.h"
#include "controls/Image.h"
#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitPageControlEx.h"
#include "controls/OEUnitProgressBarEx.h"
#include "controls/OEUnitXLabel.h"
#include "controls/PNGExtra.h"
#include "controls/QtFont.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"

#include <QLabel>
#include <QScrollBar>

namespace {

constexpr TColor kPanelColour = RGB(247, 250, 253);

template <class Control, class Parent>
Control* Make(Parent* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent); // owned by parent through Qt's tree
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

template <class Parent>
TImage* Picture(Parent* parent, const char* name, int left, int top, int width, int height,
                bool center, bool transparent) {
    TImage* image = Make<TImage>(parent, name, left, top, width, height);
    image->SetCenter(center);
    image->SetTransparent(transparent);
    return image;
}

// A page-filling picture, centred and transparent: the page backgrounds and drawn overlays.
TImage* PageFill(TTabSheetEx* page, const char* name) {
    return Picture(page, name, 0, 0, page->width(), page->height(), true, true);
}

QWidget* Panel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    QWidget* panel = Make<QWidget>(parent, name, left, top, width, height);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, ToQColor(kPanelColour));
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    return panel;
}

void SetTextColour(QLabel* label, TColor colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(colour));
    label->setPalette(palette);
}

// A label as the form has them: no auto size, text from the top left, nothing painted behind.
template <class Label>
Label* MakeLabel(QWidget* parent, const char* name, int left, int top, int width, int height,
                 TColor colour) {
    Label* label = Make<Label>(parent, name, left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    TFont font;
    label->setFont(ToQFont(font));
    SetTextColour(label, colour);
    return label;
}

TOEButtonEx* GradientButton(QWidget* parent, const char* name) {
    TOEButtonEx* button = Make<TOEButtonEx>(parent, name, 462, 350, 116, 34);
    button->SetGradient(-1);
    button->SetSplitSpace(17);
    return button;
}

void BuildWelcomePage(TOEM_FORM& form) {
    TTabSheetEx* page = form.OEM_FORM_TAB_0_TTS_0;
    form.OEM_FORM_TAB_0_TTS_0_IMG_0 = PageFill(page, "OEM_FORM_TAB_0_TTS_0_IMG_0");
    form.OEM_FORM_TAB_0_TTS_0_IMG_1 = PageFill(page, "OEM_FORM_TAB_0_TTS_0_IMG_1");
    form.OEM_FORM_TAB_0_TTS_0_BTN_0 =
        Make<TPNGButton>(page, "OEM_FORM_TAB_0_TTS_0_BTN_0", 147, 128, 300, 54);
    form.OEM_FORM_TAB_0_TTS_0_BTN_1 =
        Make<TPNGButton>(page, "OEM_FORM_TAB_0_TTS_0_BTN_1", 36, 335, 135, 34);
    for (TPNGButton* button : {form.OEM_FORM_TAB_0_TTS_0_BTN_0, form.OEM_FORM_TAB_0_TTS_0_BTN_1}) {
        button->SetCheck(false);
    }

    TOEXLabel* link =
        MakeLabel<TOEXLabel>(page, "OEM_FORM_TAB_0_TTS_0_LAB_0", 414, 339, 155, 13, clBlue);
    TFont linkFont;
    linkFont.SetStyle(fsUnderline);
    link->setFont(ToQFont(linkFont));
    form.OEM_FORM_TAB_0_TTS_0_LAB_0 = link;

    form.OEM_FORM_TAB_0_TTS_0_IMG_2 =
        Picture(page, "OEM_FORM_TAB_0_TTS_0_IMG_2", 37, 288, 32, 32, true, true);

    TOEXLabel* version =
        MakeLabel<TOEXLabel>(page, "OEM_FORM_TAB_0_TTS_0_LAB_1", 219, 339, 158, 32, clBlack);
    version->setWordWrap(true);
    form.OEM_FORM_TAB_0_TTS_0_LAB_1 = version;
}

void BuildScanningPage(TOEM_FORM& form) {
    TTabSheetEx* page = form.OEM_FORM_TAB_0_TTS_1;
    form.OEM_FORM_TAB_0_TTS_1_IMG_0 = PageFill(page, "OEM_FORM_TAB_0_TTS_1_IMG_0");
    form.OEM_FORM_TAB_0_TTS_1_IMG_1 = PageFill(page, "OEM_FORM_TAB_0_TTS_1_IMG_1");

    QWidget* panel = Panel(page, "OEM_FORM_TAB_0_TTS_1_PAL_0", 19, 85, 558, 41);
    form.OEM_FORM_TAB_0_TTS_1_PAL_0 = panel;
    form.OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0 =
        Picture(panel, "OEM_FORM_TAB_0_TTS_1_PAL_0_IMG_0", 0, 0, 16, 16, true, false);
    QLabel* status =
        MakeLabel<QLabel>(panel, "OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0", 23, 1, 535, 13, clBlack);
    status->setCursor(Qt::ArrowCursor);
    form.OEM_FORM_TAB_0_TTS_1_PAL_0_LAB_0 = status;

    TVistaProBar* bar =
        Make<TVistaProBar>(panel, "OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0", 0, 26, 558, 15);
    bar->SetOrientation(vpbHorizontal);
    bar->SetMax(12);
    bar->SetPosition(0);
    bar->SetPercentage(false);
    bar->SetShowPosText(false);
    bar->SetMarqueeSize(40);
    bar->SetMarqueeFade(30);
    bar->SetMarqueeSpeed(25);
    bar->SetAltMode(false);
    bar->SetColor(clLime);
    form.OEM_FORM_TAB_0_TTS_1_PAL_0_PRB_0 = bar;

    form.OEM_FORM_TAB_0_TTS_1_BTN_0 = GradientButton(page, "OEM_FORM_TAB_0_TTS_1_BTN_0");
}

TVirtualDrawTree* ReportList(TTabSheetEx* page) {
    auto* list = Make<TVirtualDrawTree>(page, "OEM_FORM_TAB_0_TTS_2_VDT_0", 19, 75, 556, 247);
    list->SetDefaultNodeHeight(50);
    list->SetShowHint(true);
    list->SetFont(TFont());
    list->setFont(ToQFont(TFont()));
    // The list paints inside Qt's paint handling: a row that fails to paint is reported, and
    // the list goes on.
    list->OnDrawNode = [](TVirtualDrawTree* sender, const TVTPaintInfo& info) {
        Guarded([&] { OEM_FORM_TAB_0_TTS_2_VDT_0DrawNode(sender, info); });
    };
    list->OnFreeNode = [](TVirtualDrawTree* sender, PVirtualNode node) {
        Guarded([&] { OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode(sender, node); });
    };
    return list;
}

void BuildReportPage(TOEM_FORM& form) {
    TTabSheetEx* page = form.OEM_FORM_TAB_0_TTS_2;
    form.OEM_FORM_TAB_0_TTS_2_IMG_0 = PageFill(page, "OEM_FORM_TAB_0_TTS_2_IMG_0");
    form.OEM_FORM_TAB_0_TTS_2_IMG_1 = PageFill(page, "OEM_FORM_TAB_0_TTS_2_IMG_1");
    form.OEM_FORM_TAB_0_TTS_2_BTN_0 = GradientButton(page, "OEM_FORM_TAB_0_TTS_2_BTN_0");
    form.OEM_FORM_TAB_0_TTS_2_VDT_0 = ReportList(page);

    QWidget* marker = Panel(page, "OEM_FORM_TAB_0_TTS_2_PAL_0", 574, 4, 16, 16);
    form.OEM_FORM_TAB_0_TTS_2_PAL_0 = marker;
    form.OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0 =
        Picture(marker, "OEM_FORM_TAB_0_TTS_2_PAL_0_IMG_0", 0, 0, 16, 16, true, false);
}

} // namespace

void BuildControlTree(TOEM_FORM& form) {
    form.setObjectName(QStringLiteral("OEM_FORM"));
    form.setFont(ToQFont(TFont()));
    QPalette palette = form.palette();
    palette.setColor(QPalette::Window, Qt::white);
    form.setPalette(palette);
    form.setAutoFillBackground(true);

    // Pictures lie under everything made after them: the window's own picture first.
    form.OEM_FORM_IMG_0 =
        Picture(&form, "OEM_FORM_IMG_0", 0, 0, kFormClientWidth, kFormClientHeight, false, false);

    auto* container = Make<TPageControlEx>(&form, "OEM_FORM_TAB_0", 0, 61, 602, 430);
    form.OEM_FORM_TAB_0 = container;
    form.OEM_FORM_TAB_0_TTS_0 = new TTabSheetEx(container);
    form.OEM_FORM_TAB_0_TTS_0->setObjectName(QStringLiteral("OEM_FORM_TAB_0_TTS_0"));
    form.OEM_FORM_TAB_0_TTS_1 = new TTabSheetEx(container);
    form.OEM_FORM_TAB_0_TTS_1->setObjectName(QStringLiteral("OEM_FORM_TAB_0_TTS_1"));
    form.OEM_FORM_TAB_0_TTS_2 = new TTabSheetEx(container);
    form.OEM_FORM_TAB_0_TTS_2->setObjectName(QStringLiteral("OEM_FORM_TAB_0_TTS_2"));

    BuildWelcomePage(form);
    BuildScanningPage(form);
    BuildReportPage(form);
    ApplyHandCursors(form);

    // One click handler serves every button; it tells them apart by the sender.
    TOEM_FORM* window = &form;
    auto click = [window](QObject* sender) { Guarded([&] { window->XBtnClick(sender); }); };
    form.OEM_FORM_TAB_0_TTS_0_BTN_0->OnClick = click;
    form.OEM_FORM_TAB_0_TTS_0_BTN_1->OnClick = click;
    form.OEM_FORM_TAB_0_TTS_1_BTN_0->OnClick = click;
    form.OEM_FORM_TAB_0_TTS_2_BTN_0->OnClick = click;

    // The form was laid out with page 0 active; nobody listens yet, so this reaches nobody.
    container->SetActivePageIndex(0);
}

void ApplyHandCursors(TOEM_FORM& form) {
    const QCursor& hand = ProcessDefaults().HandPointCursor;
    for (QWidget* control : std::initializer_list<QWidget*>{form.OEM_FORM_TAB_0_TTS_0_BTN_0,
                                                            form.OEM_FORM_TAB_0_TTS_0_BTN_1,
                                                            form.OEM_FORM_TAB_0_TTS_0_LAB_0}) {
        if (control != nullptr) {
            control->setCursor(hand);
        }
    }
}
