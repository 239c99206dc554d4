// Qt's own widgets find "Tahoma" once the program registered its fonts, and everything the
// resource loader and canvas keep for the whole process survives the application object.

#include "CanvasTestSupport.h"
#include "graphics/FontFiles.h"
#include "graphics/OEUnitResource.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(ProgramFonts, TahomaIsThereForQtAfterRegistering) {
    int argc = 1;
    char name[] = "resources_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    QString family = RegisterProgramFonts();
    EXPECT_EQ(family, QStringLiteral("Tahoma"));
    EXPECT_EQ(RegisterProgramFonts(), family) << "a second call changes nothing";
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    EXPECT_EQ(QFontInfo(tahoma).family(), QStringLiteral("Tahoma"));

    // Process-wide state made while the application object exists; it must stay usable
    // after the application is gone (checked in the test below and at exit under ASan).
    ResourceInstance()->LoadResourceGraphic(nullptr, "ICO_20", "PNG");
    QImage surface = resources_test::WhiteSurface(40, 20);
    TCanvas canvas(surface);
    canvas.TextOut(0, 0, "Fix");
}

TEST(ProgramFonts, DrawingGoesOnAfterTheApplicationObjectIsGone) {
    EXPECT_EQ(QGuiApplication::instance(), nullptr);
    EXPECT_FALSE(ResourceInstance()->SharedPicture().Graphic().Empty());
    QImage surface = resources_test::WhiteSurface(40, 20);
    TCanvas canvas(surface);
    canvas.TextOut(0, 0, "Fix");
    EXPECT_TRUE(resources_test::InkOf(surface, 0xFFFFFFFF).Any());
}

} // namespace
