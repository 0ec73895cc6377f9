#include <orvexsystem/registrationcode.h>

namespace Orvexsystem {

RegistrationCode::RegistrationCode(CHAR_CODE c1, CHAR_CODE c2, CHAR_CODE c3)
    : m_chars{static_cast<unsigned short>(c1), static_cast<unsigned short>(c2),
              static_cast<unsigned short>(c3)}
{
}

RegistrationCode::RegistrationCode(const QString &text)
{
    for (int i = 0; i < 3 && i < text.size(); ++i)
        m_chars[i] = text.at(i).unicode();
}

QString RegistrationCode::toString() const
{
    return QString(QChar(m_chars[0])) + QChar(m_chars[1]) + QChar(m_chars[2]);
}

} // namespace Orvexsystem
