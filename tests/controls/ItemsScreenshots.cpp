// Renders the three pages' drawn items over their backgrounds, and the report list with three
// sample rows in its place on the report page, into PNG files for looking at them:
// items_screenshots [folder] (default /tmp). Not part of the program.

#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "controls/DUIRenderer.h"
#include "controls/ReportRows.h"
#include "controls/VirtualDrawTree.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <cstdio>

namespace {

const QSize kPageSize(594, 399);

void Save(const QImage& image, const QString& folder, const char* name) {
    const QString path = folder + "/tm-" + name + ".png";
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// The page as the window stacks it: white, the background centred, the overlay on top.
QImage Page(int index, TDUIOverlay& overlay) {
    static const char* const backgrounds[] = {
        "OEM_FORM_TAB_0_TTS_0_IMG_0", "OEM_FORM_TAB_0_TTS_1_IMG_0", "OEM_FORM_TAB_0_TTS_2_IMG_0"};
    const QImage background =
        ResourceInstance()
            ->LoadConfiguredGraphic(std::string("form1#frame1#RES#") + backgrounds[index], "",
                                    false)
            .ToImage();
    QImage page(kPageSize, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage((kPageSize.width() - background.width()) / 2,
                      (kPageSize.height() - background.height()) / 2, background);
    painter.drawImage(0, 0, overlay.TransparentImage());
    return page;
}

void DrawItems(int index, TDUIOverlay& overlay) {
    DrawDUIPage(overlay, kPageSize, {0, 0, 602, 491}, ConfigerInstance(), DUIListPath(index));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    ConfigerInstance().LoadStream(
        ResourceInstance()->LoadResourceToMemory(nullptr, "CFG_0001", "CFG"));

    TDUIOverlay overlays[3];
    for (int index = 0; index < 3; ++index) {
        DrawItems(index, overlays[index]);
    }
    Save(Page(0, overlays[0]), folder, "page-welcome");
    Save(Page(1, overlays[1]), folder, "page-scanning");

    // The report page's own heading, as the window draws it after the items: size and colour
    // set, face and style as the items left them.
    TCanvas& heading = *overlays[2].ExistingCanvas();
    heading.Font().SetSize(8);
    heading.Font().SetColor(clBlack);
    TextOutClearTypeAt(heading, 24, 55, "Problems found (3)");
    QImage report = Page(2, overlays[2]);

    const TGraphic service = ResourceInstance()->LoadResourceGraphic(nullptr, "ICO_22", "PNG");
    const TGraphic volume = ResourceInstance()->LoadResourceGraphic(nullptr, "ICO_21", "PNG");
    auto text = [](const char* path) { return ConfigerInstance().ReadText(path, '#'); };
    QWidget page;
    page.resize(kPageSize);
    TVirtualDrawTree list(&page);
    list.setGeometry(19, 75, 556, 247);
    list.OnDrawNode = &OEM_FORM_TAB_0_TTS_2_VDT_0DrawNode;
    list.OnFreeNode = &OEM_FORM_TAB_0_TTS_2_VDT_0FreeNode;
    AddResultRow(list, 0, text("form1#frame3#RES#TEXT_VD_08#text"), 0, &service,
                 text("form1#frame3#RES#TEXT_VD_08#desc"), text("form1#frame3#RES#TEXT_VD_01#text"),
                 text("form1#frame3#RES#TEXT_VD_03#text"));
    AddResultRow(list, 0, text("form1#frame3#RES#TEXT_VD_04#text"), 0, &service,
                 text("form1#frame3#RES#TEXT_VD_04#desc"), text("form1#frame3#RES#TEXT_VD_01#text"),
                 text("form1#frame3#RES#TEXT_VD_02#text"));
    AddResultRow(list, 0, text("form1#frame3#RES#TEXT_VD_05#text"), 0, &volume,
                 text("form1#frame3#RES#TEXT_VD_05#desc"), text("form1#frame3#RES#TEXT_VD_01#text"),
                 text("form1#frame3#RES#TEXT_VD_02#text"));
    page.show();
    if (!QTest::qWaitForWindowExposed(&page)) {
        std::fprintf(stderr, "the page was not shown\n");
    }
    list.SetFocusedNode(list.GetNext(list.GetFirst()));
    const QImage listImage = list.grab().toImage();
    Save(listImage, folder, "report-list");
    {
        QPainter painter(&report);
        painter.drawImage(19, 75, listImage);
    }
    Save(report, folder, "page-report");
    Save(listImage.scaled(listImage.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
             .copy(0, 0, 3 * 200, 3 * 110),
         folder, "report-list-x3");
    return 0;
}
