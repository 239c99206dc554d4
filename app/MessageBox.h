#pragma once
// Every message box of the program goes through here, so tests can answer them. The real box
// is a Qt message box over the main window with the given caption, buttons and icon.

#include "platform/Win32Types.h"

#include <functional>
#include <string>

class QWidget;

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_DEFBUTTON2 = 0x100;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows the box and returns the button the user chose. Only on the window's thread.
int ApplicationMessageBox(const std::string& text, const std::string& caption, UINT flags);

using MessageBoxAnswerer =
    std::function<int(const std::string& text, const std::string& caption, UINT flags)>;

// Replaces the real box (empty: the real one again); returns the answerer it replaces.
MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

// The window the boxes belong to; nullptr while there is none.
void SetMessageBoxOwner(QWidget* owner);
