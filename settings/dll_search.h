// Where the programs look for the DLLs that are loaded while they run.
#pragma once

// Limits the search for DLLs loaded by name to the system folder, so that a
// DLL placed beside the program is never run. Called first in each WinMain.
void RestrictDllSearch(void);
