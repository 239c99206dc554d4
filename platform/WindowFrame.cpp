#include "platform/WindowFrame.h"

#include <QGuiApplication>
#include <QWindow>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace platform {

namespace {

// The Motif window manager hints, as every X11 window manager reads them.
constexpr std::uint32_t kHintsFunctions = 1u << 0;
constexpr std::uint32_t kHintsDecorations = 1u << 1;
constexpr std::uint32_t kFunctionMove = 1u << 2;
constexpr std::uint32_t kFunctionMinimise = 1u << 3;
constexpr std::uint32_t kFunctionClose = 1u << 5;
constexpr std::uint32_t kDecorationBorder = 1u << 1;
constexpr std::uint32_t kDecorationTitle = 1u << 3;
constexpr std::uint32_t kDecorationMenu = 1u << 4;
constexpr std::uint32_t kDecorationMinimise = 1u << 5;

} // namespace

void OfferOnlyCloseAndMinimise(QWindow& window) {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return;
    }
    static constexpr char kName[] = "_MOTIF_WM_HINTS";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(kName), kName),
                              nullptr),
        &std::free);
    if (!atom) {
        return;
    }
    // flags, functions, decorations, input mode, status
    const std::array<std::uint32_t, 5> hints{
        kHintsFunctions | kHintsDecorations, kFunctionMove | kFunctionMinimise | kFunctionClose,
        kDecorationBorder | kDecorationTitle | kDecorationMenu | kDecorationMinimise, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), atom->atom, atom->atom, 32,
                        hints.size(), hints.data());
    xcb_flush(connection);
#else
    (void)window;
#endif
}

} // namespace platform
