#pragma once
// The Win32 scalar types and a few shared constants, so the program's units can be written
// against the same operation signatures on every platform. Only the platform layer decides
// what the operations do.

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t; // the platform's 32-bit boolean: 0 false, anything else true
using UINT_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using LRESULT = std::intptr_t;
using HANDLE = void*;
using HMODULE = void*;
using HWND = void*;
using HINSTANCE = void*;
