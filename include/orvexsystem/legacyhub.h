#ifndef ORVEXSYSTEM_LEGACYHUB_H
#define ORVEXSYSTEM_LEGACYHUB_H

#include <orvexsystem/export.h>
#include <orvexsystem/hub.h>

namespace Orvexsystem {

class LegacyOrvexboard;

// An older radio hub reached over a serial line or USB, possibly mounted in
// a board whose pens it carries. Pen reports come in the 8-byte form over
// USB and in the 9-byte form over a serial line.
class ORVEXSYSTEM_EXPORT LegacyHub : public Hub
{
    Q_OBJECT
public:
    // Pen report offsets, 8-byte form.
    static const int Packet_Offset_PenId = 7;
    static const int Packet_Offset_X = 3;
    static const int Packet_Offset_Y = 5;
    static const int Packet_Offset_Button = 7;
    // Pen report offsets, 9-byte serial form.
    static const int Packet_Offset_Serial_PenId = 6;
    static const int Packet_Offset_Serial_X = 3;
    static const int Packet_Offset_Serial_Y = 6;
    static const int Packet_Offset_Serial_Button = 3;
    static const int Packet_Offset_Serial_Proximity = 3;

    // connectionType is ConnectionType_Serial or ConnectionType_Usb; any
    // other value gives a hub that recognises no pen report.
    LegacyHub(OrvexSystem *system, int handle, quint64 uid, bool connected, bool hasBoard,
              int connectionType, int version);
    ~LegacyHub() override;

    // Model detection from the firmware version number.
    static bool determineIfQX5Board(int version);
    static bool determineIfSupportsRegistration(int version);
    static int determinePenCount(int version);

    bool isHubBusy() override;
    bool hasQX5Board() const override;
    bool supportsRegistration() const override;
    int penCount() const override;
    Type type() override;
    ConnectionType connectionType() override;
    bool getDeviceCount(Device::Type type, int *count) override;
    bool getDeviceList(Device::Type type, QList<Device *> *list) override;
    bool getCompleteDeviceList(QList<Device *> *list) override;
    void readRegisteredDevicesLists() override;
    unsigned int getDeviceId(unsigned int address) override;
    void processPacket(const QByteArray &packet) override;

Q_SIGNALS:
    void voteDeviceRegistered(quint32 deviceId, bool batteryLow, int deviceVersion);
    void generatePinforSlateRegistration(quint8 Id);
    void slateDeviceRegistered(quint8 Id);

protected:
    bool isPenPacket(const QByteArray &packet) override;
    void getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip,
                    bool &barrel, bool &proximity) override;
    bool isTouchSupported() override;
    bool processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                         QString &response) override;
    bool setHubBusyCallback(HubBusyCallback callback, void *userData) override;

private:
    LegacyOrvexboard *m_pBoard;
    ConnectionType m_eConnectionType;
    bool m_bHasBoard;
    bool m_bSupportsRegistration;
    bool m_bHasQX5Board;
    int m_nPenCount;
};

} // namespace Orvexsystem

#endif
