#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

// Whether a Windows test runs on Wine rather than on Windows (Wine's ntdll says its version),
// for the few places where Wine is known to answer differently.
inline bool runningUnderWine() {
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}
