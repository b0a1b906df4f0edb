#pragma once

#include <cstdarg>
#include <cstddef>

// The trace-logging library's global object, as far as this plug-in reads it.
// Every other byte belongs to the library; only the four fields below are touched.
struct LogFacade
{
    using RegisterModuleFn = void (*)(void* handle, int kind, const char* moduleName, int* moduleId);
    using BeginRecordFn = int (*)(void* handle, int levelWord, int zero, const char* sourceFile, int line);
    using WriteRecordFn = void (*)(void* handle, const char* format, va_list args);

    void* reserved0[3];
    void* handle;                       // offset 24
    void* reserved1[5];
    RegisterModuleFn registerModule;    // offset 72
    void* reserved2[4];
    BeginRecordFn beginRecord;          // offset 112
    WriteRecordFn writeRecord;          // offset 120
};

static_assert(sizeof(void*) != 8 || offsetof(LogFacade, handle) == 24, "facade layout");
static_assert(sizeof(void*) != 8 || offsetof(LogFacade, registerModule) == 72, "facade layout");
static_assert(sizeof(void*) != 8 || offsetof(LogFacade, beginRecord) == 112, "facade layout");
static_assert(sizeof(void*) != 8 || offsetof(LogFacade, writeRecord) == 120, "facade layout");

// Entry point of the library: writes its facade pointer into *facade.
using LogTraceGetGlobalObjectFn = int (*)(int, void** facade);
