#include "FakeLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The library's global object as pointer-sized slots. Only the four slots below are
// meant for callers (at bytes 24, 72, 112 and 120 on 64-bit systems); every other slot
// points at a trap, so a caller reading a wrong offset crashes instead of passing by
// accident.
enum Slot { HandleSlot = 3, RegisterModuleSlot = 9, BeginRecordSlot = 14, WriteRecordSlot = 15, SlotCount = 20 };
void* facade[SlotCount];
int handleTag;

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

int beginRecord(void* handle, int levelWord, int /*zero*/, const char* sourceFile, int line)
{
    FakeLog::calls().begins.push_back({handle, levelWord, sourceFile ? sourceFile : "", line});
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
    for (void*& slot : facade)
        slot = reinterpret_cast<void*>(&trap);
    facade[HandleSlot] = variantIs("null-handle") ? nullptr : &handleTag;
    facade[RegisterModuleSlot] = variantIs("null-register") ? nullptr : reinterpret_cast<void*>(&registerModule);
    facade[BeginRecordSlot] = reinterpret_cast<void*>(&beginRecord);
    facade[WriteRecordSlot] = variantIs("null-write") ? nullptr : reinterpret_cast<void*>(&writeRecord);
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
    *result = facade;
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
