#ifndef ORVEXSYSTEM_TWOPOINTFOURGHZPINNAMINGRESPONSE_H
#define ORVEXSYSTEM_TWOPOINTFOURGHZPINNAMINGRESPONSE_H

#include <orvexsystem/export.h>
#include <orvexsystem/hubresponse.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace Orvexsystem {

/// A voting handset's report in a PIN naming session of a 2.4 GHz hub:
/// exactly 11 bytes, 0B 67, 2-5 the uid, 6-7 the radio address, 8-9 the keyed
/// text as four 3-bit codes (bits 3-1 of byte 8; bit 0 of byte 8 then bits
/// 7-6 of byte 9; bits 5-3 of byte 9; bits 2-0 of byte 9). A code of 0 adds
/// nothing, 1 to 6 the letters A to F, 7 a space.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzPinNamingResponse : public HubResponse
{
public:
    static const int Length = 11;
    static const quint8 Control = 0x67;
    static const int UidOffset = 2;
    static const int AddressOffset = 6;
    static const int CodesOffset = 8;

    TwoPointFourGHzPinNamingResponse() = default;
    explicit TwoPointFourGHzPinNamingResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);
    /// The text of the four codes held in two bytes.
    static QString textOfCodes(quint8 high, quint8 low);

    quint32 uid() const { return m_uid; }
    quint16 address() const { return m_nAddress; }
    QString text() const { return m_strText; }

private:
    quint32 m_uid = 0;
    quint16 m_nAddress = 0;
    QString m_strText;
};

} // namespace Orvexsystem

#endif
