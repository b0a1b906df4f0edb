#pragma once

#include <string>
#include <vector>

// Test double of the trace-logging library. It exports LogTrace_GetGlobalObject like
// the real one and records every call the plug-in makes through the facade.
//
// FAKE_ZELKLOG_VARIANT, read when LogTrace_GetGlobalObject is called, selects a
// misbehaving library:
//   null-register  the facade has no register-module operation
//   null-facade    the entry point leaves the facade pointer null
//   null-handle    the facade's handle is null
//   null-write     the facade has no write-record operation
//   negative-id    registering gives the module a negative id
namespace FakeLog {

// The number the library gives the module that registers.
int moduleId();
// The handle a well-behaved facade carries (null-handle hands out null instead).
void* handle();

struct Registration
{
    void* handle;
    int kind;
    std::string moduleName;
};

struct BeginRecord
{
    void* handle;
    int levelWord;
    std::string sourceFile;
    int line;
};

struct WriteRecord
{
    void* handle;
    std::string format;
    std::string message; // the format filled in with the arguments
};

// What the plug-in did through the library so far.
struct Calls
{
    int entryCalls = 0;     // of LogTrace_GetGlobalObject
    int entryArgument = -1; // the integer passed to the last one
    int beginResult = 0;    // what begin-record answers; non-zero suppresses the record
    std::vector<Registration> registrations;
    std::vector<BeginRecord> begins;
    std::vector<WriteRecord> writes;
};
Calls& calls();

// Forgets begin and write records and makes begin-record answer 0 again.
// Registrations happen once, when the plug-in file loads, and are kept.
void reset();

} // namespace FakeLog
