#include "FakeLog.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using RegisterModuleFn = void (*)(void*, int, const char*, int*);
using BeginRecordFn = int (*)(void*, int, int, const char*, int);
using WriteRecordFn = void (*)(void*, const char*, va_list);

// The library's global object. Only the four named fields are meant for callers;
// every other slot points at a trap, so a caller reading a wrong offset crashes
// instead of passing by accident.
struct Facade
{
    void* reserved0[3];
    void* handle;
    void* reserved1[5];
    RegisterModuleFn registerModule;
    void* reserved2[4];
    BeginRecordFn beginRecord;
    WriteRecordFn writeRecord;
    void* reserved3[4];
};
static_assert(offsetof(Facade, handle) == 24, "facade layout");
static_assert(offsetof(Facade, registerModule) == 72, "facade layout");
static_assert(offsetof(Facade, beginRecord) == 112, "facade layout");
static_assert(offsetof(Facade, writeRecord) == 120, "facade layout");

int handleTag;
Facade facade;

[[noreturn]] void trap()
{
    std::fputs("fake ZelkLogUtl: a reserved facade slot was called\n", stderr);
    std::abort();
}

void registerModule(void* handle, int kind, const char* moduleName, int* moduleId)
{
    FakeLog::calls().registrations.push_back({handle, kind, moduleName ? moduleName : ""});
    *moduleId = FakeLog::moduleId();
}

int beginRecord(void* handle, int levelWord, int zero, const char* sourceFile, int line)
{
    FakeLog::calls().begins.push_back({handle, levelWord, zero, sourceFile ? sourceFile : "", line});
    return FakeLog::calls().beginResult;
}

void writeRecord(void* handle, const char* format, va_list args)
{
    char message[1024];
    std::vsnprintf(message, sizeof message, format, args);
    FakeLog::calls().writes.push_back({handle, format, message});
}

bool variantIs(const char* name)
{
    const char* variant = std::getenv("FAKE_ZELKLOG_VARIANT");
    return variant && std::strcmp(variant, name) == 0;
}

void buildFacade()
{
    void** slots = reinterpret_cast<void**>(&facade);
    for (std::size_t i = 0; i < sizeof(Facade) / sizeof(void*); ++i)
        slots[i] = reinterpret_cast<void*>(&trap);
    facade.handle = variantIs("null-handle") ? nullptr : &handleTag;
    facade.registerModule = variantIs("null-register") ? nullptr : &registerModule;
    facade.beginRecord = &beginRecord;
    facade.writeRecord = variantIs("null-write") ? nullptr : &writeRecord;
}

} // namespace

// Exported by default on Windows: MinGW exports every symbol of a DLL without
// dllexport markers, and the target asks MSVC to do the same.
#if defined(__GNUC__) && !defined(_WIN32)
#define FAKELOG_EXPORT __attribute__((visibility("default")))
#else
#define FAKELOG_EXPORT
#endif

extern "C" FAKELOG_EXPORT int LogTrace_GetGlobalObject(int kind, void** result)
{
    ++FakeLog::calls().entryCalls;
    FakeLog::calls().entryArgument = kind;
    if (variantIs("null-facade"))
        return 1;
    buildFacade();
    *result = &facade;
    return 0;
}

namespace FakeLog {

int moduleId() { return variantIs("negative-id") ? -3 : 7; }
void* handle() { return &handleTag; }

Calls& calls()
{
    static Calls all;
    return all;
}

void reset()
{
    calls().begins.clear();
    calls().writes.clear();
    calls().beginResult = 0;
}

} // namespace FakeLog
