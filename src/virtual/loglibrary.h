#ifndef ORVEXSYSTEM_VIRTUAL_LOGLIBRARY_H
#define ORVEXSYSTEM_VIRTUAL_LOGLIBRARY_H

#include <orvexsystem/orvexlog.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <memory>

namespace Orvexsystem {

namespace Platform {
class Module;
}

// The binding to the log module (contract: <orvexsystem/orvexlog.h>). The
// constructor loads the module by bare name, resolves its nine functions and
// opens one log with the given level; a missing module or function only
// silences the log. Not thread-safe: its owner uses it from one thread at a
// time.
class LogLibrary
{
public:
    // The module name looked up by the platform loader.
    static const char *const ModuleName;

    explicit LogLibrary(int level, const char *moduleName = ModuleName);
    // Closes the log, then unloads the module.
    ~LogLibrary();
    LogLibrary(const LogLibrary &) = delete;
    LogLibrary &operator=(const LogLibrary &) = delete;

    // Whether a log is open (module loaded and a non-zero handle).
    bool isOpen() const { return m_handle != 0; }

    // Writes the text, converted to the local 8-bit encoding, with the log's
    // level.
    void logText(const QString &text);
    // Writes raw bytes with the log's level.
    void logBinary(const QByteArray &bytes);

private:
    // The module's functions in the contract's order; null where the module
    // lacks one. The library calls createA, setLevel, logTextA, logBinary and
    // close.
    struct Functions
    {
        decltype(&log_createA) createA = nullptr;
        decltype(&log_createW) createW = nullptr;
        decltype(&log_logTextA) logTextA = nullptr;
        decltype(&log_logTextW) logTextW = nullptr;
        decltype(&log_logBinary) logBinary = nullptr;
        decltype(&log_close) close = nullptr;
        decltype(&log_isOpen) isOpen = nullptr;
        decltype(&log_setLevel) setLevel = nullptr;
        decltype(&log_setMaximumSize) setMaximumSize = nullptr;
    };

    std::unique_ptr<Platform::Module> m_module;
    Functions m_functions;
    intptr_t m_handle = 0;
    int m_nLevel;
};

} // namespace Orvexsystem

#endif
