#include "app/TestHooks.h"

#include "app/uMain.h"
#include "controls/OEUnitPageControlEx.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <cstdio>

TestHooks ReadTestHooks() {
    TestHooks hooks;
    const QString text = qEnvironmentVariable("TONEMENDER_TEST_HOOKS");
    for (const QString& hook : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = hook.trimmed();
        if (name == QLatin1String("start-minimized")) {
            hooks.startMinimized = true;
        } else if (name == QLatin1String("report")) {
            hooks.report = true;
        } else if (name == QLatin1String("start-scan")) {
            hooks.startScan = true;
        } else if (name.startsWith(QLatin1String("close-after="))) {
            bool ok = false;
            int ms = name.mid(12).toInt(&ok);
            if (ok && ms >= 0) {
                hooks.closeAfterMs = ms;
            }
        }
    }
    return hooks;
}

void ReportWindowState(const char* event, TOEM_FORM& form) {
    std::printf("%s pid=%lld minimized=%d visible=%d page=%d\n", event,
                static_cast<long long>(QCoreApplication::applicationPid()),
                form.isMinimized() ? 1 : 0, form.isVisible() ? 1 : 0,
                form.OEM_FORM_TAB_0->ActivePageIndex());
    std::fflush(stdout);
}
