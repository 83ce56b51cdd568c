// A placeholder input-method file, never a working input method. It exists so
// that the samples and tests register a real file the way a product does: the
// system looks the name up in its system folder, reads the version resource
// (an input-method driver, and the layout's language) and looks for the IME
// entry points. Every entry point below refuses or does nothing, so a layout
// made from this file can be registered and removed but never selected for
// typing: the system drops an input method whose ImeInquire fails.
#include <windows.h>

extern "C" {

// Asked first when the layout is loaded: refusing it says this is no input method.
BOOL WINAPI ImeInquire(void *, wchar_t *, DWORD) { return FALSE; }

// The rest of the interface the input-method manager looks up; none ever runs
// once ImeInquire has refused, and each refuses or ignores what it is given.
DWORD WINAPI ImeConversionList(HIMC, const wchar_t *, void *, DWORD, UINT) { return 0; }
BOOL WINAPI ImeConfigure(HKL, HWND, DWORD, void *) { return FALSE; }
BOOL WINAPI ImeDestroy(UINT) { return TRUE; }
LRESULT WINAPI ImeEscape(HIMC, UINT, void *) { return 0; }
BOOL WINAPI ImeProcessKey(HIMC, UINT, LPARAM, const BYTE *) { return FALSE; }
BOOL WINAPI ImeSelect(HIMC, BOOL) { return FALSE; }
BOOL WINAPI ImeSetActiveContext(HIMC, BOOL) { return FALSE; }
UINT WINAPI ImeToAsciiEx(UINT, UINT, const BYTE *, void *, UINT, HIMC) { return 0; }
BOOL WINAPI NotifyIME(HIMC, DWORD, DWORD, DWORD) { return FALSE; }
BOOL WINAPI ImeRegisterWord(const wchar_t *, DWORD, const wchar_t *) { return FALSE; }
BOOL WINAPI ImeUnregisterWord(const wchar_t *, DWORD, const wchar_t *) { return FALSE; }
UINT WINAPI ImeGetRegisterWordStyle(UINT, void *) { return 0; }
UINT WINAPI ImeEnumRegisterWord(void *, const wchar_t *, DWORD, const wchar_t *, void *) { return 0; }
BOOL WINAPI ImeSetCompositionString(HIMC, DWORD, const void *, DWORD, const void *, DWORD) { return FALSE; }

}  // extern "C"
