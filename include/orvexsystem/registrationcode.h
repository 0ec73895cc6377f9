#ifndef ORVEXSYSTEM_REGISTRATIONCODE_H
#define ORVEXSYSTEM_REGISTRATIONCODE_H

#include <orvexsystem/export.h>

#include <QtCore/QString>

namespace Orvexsystem {

/// A registration PIN: three characters, each one of the letters A to F that
/// a learner keys on a handset or slate. The default PIN is AAA.
class ORVEXSYSTEM_EXPORT RegistrationCode
{
public:
    enum CHAR_CODE {
        CHAR_CODE_A = 65,
        CHAR_CODE_B = 66,
        CHAR_CODE_C = 67,
        CHAR_CODE_D = 68,
        CHAR_CODE_E = 69,
        CHAR_CODE_F = 70
    };

    RegistrationCode() = default;
    RegistrationCode(CHAR_CODE c1, CHAR_CODE c2, CHAR_CODE c3);
    /// The character codes of the text's first three characters. A text of
    /// fewer than three characters keeps the default (A) for those missing.
    explicit RegistrationCode(const QString &text);

    unsigned short char1() const { return m_chars[0]; }
    unsigned short char2() const { return m_chars[1]; }
    unsigned short char3() const { return m_chars[2]; }

    /// The three characters as text, e.g. "ACF".
    QString toString() const;

private:
    unsigned short m_chars[3] = {CHAR_CODE_A, CHAR_CODE_A, CHAR_CODE_A};
};

} // namespace Orvexsystem

#endif
