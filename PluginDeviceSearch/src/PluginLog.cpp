#include "PluginLog.h"

#include "LogFacade.h"
#include "LogLibrary.h"

#include <cstdarg>

namespace PluginLog {

int levelWord()
{
    return (LogLibrary::instance().moduleId() << 8) | 2;
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
