#include "LogLibrary.h"

#include "LogFacade.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
const char kLibraryName[] = "ZelkLogUtl.dll";
void* openLibrary() { return reinterpret_cast<void*>(LoadLibraryA(kLibraryName)); }
void* findSymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
// Bare name on purpose: the normal search path and LD_LIBRARY_PATH decide.
const char kLibraryName[] = "libZelkLogUtl.so";
void* openLibrary() { return dlopen(kLibraryName, RTLD_NOW); }
void* findSymbol(void* library, const char* name) { return dlsym(library, name); }
void closeLibrary(void* library) { dlclose(library); }
#endif

const char kModuleName[] = "DeviceSearch";
constexpr int kRegisterKind = 19;

} // namespace

LogLibrary::LogLibrary()
{
    m_library = openLibrary();
    if (!m_library)
        return;
    auto getGlobalObject =
        reinterpret_cast<LogTraceGetGlobalObjectFn>(findSymbol(m_library, "LogTrace_GetGlobalObject"));
    if (!getGlobalObject)
        return;

    void* facade = nullptr;
    getGlobalObject(0, &facade);
    m_facade = static_cast<LogFacade*>(facade);
    if (m_facade && m_facade->registerModule)
        m_facade->registerModule(m_facade->handle, kRegisterKind, kModuleName, &m_moduleId);
}

LogLibrary::~LogLibrary()
{
    if (m_library)
        closeLibrary(m_library);
}

struct LogLibraryHolder
{
    LogLibrary library;
};

// Namespace-scope, so the library is loaded with the plug-in file's static
// initialisation, before any plug-in object exists, and freed when the file unloads.
static const LogLibraryHolder s_holder;

const LogLibrary& LogLibrary::instance()
{
    return s_holder.library;
}
