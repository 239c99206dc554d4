// Renders the progress bar and the gradient button in their states into PNG files, for looking
// at them: controls_screenshots [folder] (default /tmp). The states are reached with real
// events, as a user would reach them.

#include "controls/OEUnitButtonEx.h"
#include "controls/OEUnitProgressBarEx.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

namespace {

void Save(QWidget& widget, const QString& folder, const char* name) {
    const QString path = folder + "/tm-" + name + ".png";
    const QImage image = widget.grab().toImage();
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return;
    }
    // A copy six times as large, for the details.
    image.scaled(image.size() * 6, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(folder + "/tm-" + name + "-x6.png");
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");

    QWidget page;
    page.resize(602, 430);
    page.setStyleSheet("background: white");

    TVistaProBar bar(&page);
    bar.setGeometry(19, 111, 558, 15);
    bar.SetMax(12);
    bar.SetMarqueeSize(40);
    bar.SetMarqueeFade(30);
    bar.SetMarqueeSpeed(25);

    TOEButtonEx button(&page);
    button.setGeometry(462, 350, 116, 34);
    button.SetGradient(1);
    button.SetSplitSpace(17);
    button.SetCaption("Cancel");
    TOEButtonEx other(&page);
    other.setGeometry(330, 350, 116, 34);
    other.SetGradient(1);
    other.SetCaption("Fix");

    page.show();
    page.activateWindow();
    if (!QTest::qWaitForWindowActive(&page)) {
        std::fprintf(stderr, "the window did not become active\n");
    }
    other.setFocus();

    bar.SetPosition(3);
    Save(bar, folder, "bar-3-of-12");
    bar.SetMarquee(true);
    for (int i = 0; i < 60; ++i) {
        bar.MarqueeTimerTick();
    }
    QApplication::processEvents();
    Save(bar, folder, "bar-marquee");
    bar.SetMarquee(false);

    // Through the window, as the window system delivers them, so Qt finds the button itself.
    QWindow* window = page.windowHandle();
    const QPoint inside = button.geometry().center();
    QTest::mouseMove(window, QPoint(10, 10));
    Save(button, folder, "button-normal");
    QTest::mouseMove(window, inside);
    Save(button, folder, "button-hot");
    QTest::mousePress(window, Qt::LeftButton, {}, inside);
    Save(button, folder, "button-down");
    QTest::mouseRelease(window, Qt::LeftButton, {}, inside);
    QTest::mouseMove(window, QPoint(10, 10));
    Save(button, folder, "button-focused");
    button.setEnabled(false);
    Save(button, folder, "button-disabled");
    button.setEnabled(true);
    Save(page, folder, "page");
    return 0;
}
