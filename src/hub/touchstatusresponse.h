#ifndef ORVEXSYSTEM_TOUCHSTATUSRESPONSE_H
#define ORVEXSYSTEM_TOUCHSTATUSRESPONSE_H

#include <orvexsystem/hubresponse.h>

#include <QtCore/QByteArray>

namespace Orvexsystem {

// The board's answer to ":QT": 8 bytes, length 8, control 0xA5. Bytes 2 to 7
// are kept as they came; byte 6 is the touch status (5 = running) and byte 7
// the number of simultaneous touches the board supports.
class TouchStatusResponse : public HubResponse
{
public:
    static const int Length = 8;
    static const quint8 Control = 0xA5;
    static const quint8 StatusRunning = 5;
    static const quint8 StatusStopped = 0;

    TouchStatusResponse() = default;
    explicit TouchStatusResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    // Byte 2 + index of the reply, index 0 to 5; 0 for any other index.
    quint8 byteAt(int index) const;
    quint8 status() const { return m_data[4]; }
    quint8 touchCount() const { return m_data[5]; }

private:
    quint8 m_data[6] = {0, 0, 0, 0, 0, 0};
};

} // namespace Orvexsystem

#endif
