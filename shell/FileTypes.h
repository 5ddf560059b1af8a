// The image file type in the registry: ".dsk" files as "DiskImage", with the
// program's icon and the verbs "write to a:" and "write to b:".
#pragma once

#include "platform/win32.h"

// Writes the keys and values of the file type for the program at this path.
// Nothing is reported; a key that cannot be created is passed over.
void RegisterImageFileTypes(LPCSTR pszProgramPath);
// Deletes the keys of the file type, each after the keys below it; keys of
// other origin below them keep their parents.
void UnregisterImageFileTypes();
