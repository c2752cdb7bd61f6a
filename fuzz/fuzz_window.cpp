// The window's remembered state as the program meets it: any bytes as the file; what is read, written back
// and read again, must come back the same.
#include "fuzz/FuzzWork.h"
#include "history/WindowMemory.h"

#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = WindowMemoryFile(FuzzWorkFolder().path() + QLatin1Char('/'));
    WriteFuzzInput(file, data, size);
    const std::optional<WindowMemory> memory = ReadWindowMemory(file);
    if (!memory)
        return 0;
    Require(memory->SortColumn >= 0);
    for (const RememberedFolder& folder : memory->Folders)
        Require(!folder.Path.isEmpty());
    Require(WriteWindowMemory(file, *memory));
    const std::optional<WindowMemory> again = ReadWindowMemory(file);
    Require(again && *again == *memory);
    return 0;
}
