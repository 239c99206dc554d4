#include "app/Application.h"

#include "app/ErrorReport.h"
#include "graphics/FontFiles.h"

#include <QApplication>

namespace {

std::string& Title() {
    static std::string title;
    return title;
}

} // namespace

const std::string& ApplicationTitle() {
    return Title();
}

void InitialiseApplication() {
    Title() = kApplicationTitle;
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
    RegisterProgramFonts();
    InstallErrorReport();
}
