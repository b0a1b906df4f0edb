#pragma once

// The plug-in's one way to report an internal failure: a printf-style record at the
// plug-in's single level, written through the optional trace-logging library. With
// no library present every call is a no-op.
namespace PluginLog {

void write(const char* sourceFile, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Level word of every record: module id in the high bits, level 2 in the low 8 bits.
int levelWord();

} // namespace PluginLog

#define PDS_LOG(...) PluginLog::write(__FILE__, __LINE__, __VA_ARGS__)
