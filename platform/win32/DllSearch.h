// Keeps DLLs planted beside the program (a downloads folder) from loading.
#pragma once

// Limits where the system looks for DLLs loaded by name to the system
// folder. Call first thing, before anything that may load a DLL. Systems
// without the calls (Windows 98 to XP before SP1) are left as they are.
void LimitDllSearchToSystem();
