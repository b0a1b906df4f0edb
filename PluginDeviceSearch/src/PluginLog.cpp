#include "PluginLog.h"

#include "LogFacade.h"
#include "LogLibrary.h"

#include <cstdarg>

namespace PluginLog {

int levelWord()
{
    // The library may hand out any module id; shifted as unsigned, a negative or large
    // one keeps its low bits instead of being undefined behaviour.
    const unsigned moduleBits = static_cast<unsigned>(LogLibrary::instance().moduleId());
    return static_cast<int>((moduleBits << 8) | 2u);
}

static void writeFormatted(const LogFacade* facade, const char* format, va_list args)
{
    if (!facade || !facade->handle || !facade->writeRecord)
        return;
    facade->writeRecord(facade->handle, format, args);
}

void write(const char* sourceFile, int line, const char* format, ...)
{
    const LogFacade* facade = LogLibrary::instance().facade();
    if (!facade || !facade->handle || !facade->beginRecord)
        return;
    // A non-zero answer is the library's own filter saying "not this record".
    if (facade->beginRecord(facade->handle, levelWord(), 0, sourceFile, line) != 0)
        return;

    va_list args;
    va_start(args, format);
    writeFormatted(facade, format, args);
    va_end(args);
}

} // namespace PluginLog
