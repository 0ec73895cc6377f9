#include "virtual/loglibrary.h"

#include "platform/platform.h"

namespace Orvexsystem {

const char *const LogLibrary::ModuleName = "liborvexlog.so";

namespace {
template <class Fn>
void bind(const Platform::Module &module, const char *name, Fn &slot)
{
    slot = reinterpret_cast<Fn>(module.resolve(name));
}
} // namespace

LogLibrary::LogLibrary(int level, const char *moduleName)
    : m_module(std::make_unique<Platform::Module>(moduleName)), m_nLevel(level)
{
    if (!m_module->isLoaded())
        return;
    Functions &f = m_functions;
    bind(*m_module, "log_createA", f.createA);
    bind(*m_module, "log_createW", f.createW);
    bind(*m_module, "log_logTextA", f.logTextA);
    bind(*m_module, "log_logTextW", f.logTextW);
    bind(*m_module, "log_logBinary", f.logBinary);
    bind(*m_module, "log_close", f.close);
    bind(*m_module, "log_isOpen", f.isOpen);
    bind(*m_module, "log_setLevel", f.setLevel);
    bind(*m_module, "log_setMaximumSize", f.setMaximumSize);
    if (f.createA)
        m_handle = f.createA(0, 0, 0, m_nLevel);
    if (m_handle && f.setLevel)
        f.setLevel(m_handle, m_nLevel);
}

LogLibrary::~LogLibrary()
{
    // The handle is released before the module goes, so that the module's
    // state for it does not outlive its use.
    if (m_handle && m_functions.close)
        m_functions.close(m_handle);
}

void LogLibrary::logText(const QString &text)
{
    if (m_handle && m_functions.logTextA)
        m_functions.logTextA(m_handle, text.toLocal8Bit().constData(), m_nLevel);
}

void LogLibrary::logBinary(const QByteArray &bytes)
{
    if (m_handle && m_functions.logBinary)
        m_functions.logBinary(m_handle, reinterpret_cast<const uint8_t *>(bytes.constData()),
                       int32_t(bytes.size()), m_nLevel);
}

} // namespace Orvexsystem
