#pragma once

struct LogFacade;

// Loads the optional trace-logging library once, while the plug-in file is being
// loaded, and frees it when the file is unloaded. The state never changes in between.
class LogLibrary
{
public:
    static const LogLibrary& instance();

    const LogFacade* facade() const { return m_facade; }
    int moduleId() const { return m_moduleId; }

    LogLibrary(const LogLibrary&) = delete;
    LogLibrary& operator=(const LogLibrary&) = delete;

private:
    LogLibrary();
    ~LogLibrary();

    void* m_library = nullptr;
    LogFacade* m_facade = nullptr;
    int m_moduleId = 0;

    friend struct LogLibraryHolder;
};
