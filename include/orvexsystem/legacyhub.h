#ifndef ORVEXSYSTEM_LEGACYHUB_H
#define ORVEXSYSTEM_LEGACYHUB_H

#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/hub.h>

#include <memory>

namespace Orvexsystem {

class LegacyHubPrivate;
class LegacyOrvexboard;
class RegistrationCode;

// An older radio hub reached over a serial line or USB, possibly mounted in
// a board whose pens it carries. Pen reports come in the 8-byte form over
// USB and in the 9-byte form over a serial line.
//
// Registered devices. The hub keeps no list the library can read back: the
// library remembers the voting handsets and slates registered with it in the
// machine-wide settings file "Veltrane/OrvexSystem/OrvexSystem.ini" (below
// the first data folder that holds it, else the first data folder), and
// rebuilds the lists from it whenever the hub connects or is re-enumerated.
// Hubs not mounted in a board share one group of that file, and so their
// registrations. Operations that change the lists rewrite the file, except
// that registrations made during a session are saved when the registration
// session is stopped; an operation whose change took effect but could not
// be saved returns false with Error_Failed.
//
// Device pointer lifetime. A Device* handed out stays valid until its list
// is next read from the settings file (on a connection, a re-enumeration, or
// a list asked for while empty) or the hub is destroyed; devices taken out
// of a list by a clear, a removal or a disconnection are freed only then.
//
// Threads. The lists are guarded by a lock of their own, so any thread may
// query them while registration replies add to them on the driver's packet
// thread. processPacket() runs on that thread, and the registration signals
// are emitted there. Operations that wait for a reply (configureHub(), the
// voting preparation) block the caller for at most 160 ms (serial) or the
// hub's reply wait (USB) per reply.
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

    // connectionType is ConnectionType_Serial or ConnectionType_Usb; a hub
    // with any other value recognises no pen report, ignores registration
    // replies and waits for no reply.
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
    // Connecting configures the hub (":VT") and reads the voting handsets,
    // then the slates, from the settings file; disconnecting drops the
    // voting handsets and keeps the slates.
    void setConnected(bool connected) override;

    // Device queries fail with Error_NotConnected on a disconnected hub.
    // Types: 0 the board, 1 slates, 2 voting handsets; any other type counts
    // 0 and lists nothing.
    bool getDeviceCount(Device::Type type, int *count) override;
    bool getDeviceList(Device::Type type, QList<Device *> *list) override;
    // Appends the board, the voting handsets, then the slates to *list.
    bool getCompleteDeviceList(QList<Device *> *list) override;
    // 1 with a board, else 0 (0 as well when disconnected).
    int orvexboardCount();
    // Append the list to *list, reading it from the settings file first
    // when it is empty; always true.
    bool readOrvexvoteList(QList<Device *> *list);
    bool readOrvexSlateList(QList<Device *> *list);
    // getDeviceList() as name, uid and sub-type copies, taken under the
    // lists' lock: nothing in the result depends on a device pointer.
    bool getDeviceDisplayInfoList(Device::Type type, QList<DeviceDisplayInfo> *list);
    // Reads the slates, then the voting handsets, from the settings file;
    // a list that a running registration session adds to is kept as it is.
    void readRegisteredDevicesLists() override;
    // A legacy device's address is its id.
    unsigned int getDeviceId(unsigned int address) override;
    void processPacket(const QByteArray &packet) override;
    // A legacy hub reports no busy state: false, nothing stored.
    bool setHubBusyCallback(HubBusyCallback callback, void *userData) override;

    // Radio: ":VT" and its reply (160 ms on a serial line, the reply wait on
    // USB). On USB a slate channel other than 1 or 2 is set to 1 at once,
    // which unregisters every device. False with Error_CommsFailure when the
    // hub does not answer; true at once for an unknown connection type.
    bool configureHub();
    // The values of the last ":VT" reply or change; false while unknown (0).
    bool getSlateChannel(quint8 &channel);
    bool getVoteChannel(quint8 &channel);
    bool getBoardID(quint8 &id);
    bool getRFBand(quint8 &band);
    // ":VY", ":AY" (the channel plus 3 on RF band 2) and ":UR". A change
    // detunes every device: slates are disabled and both lists cleared and
    // saved; the devices must register again.
    bool changeVoteChannel(quint8 channel);
    bool changeSlateChannel(quint8 channel);
    bool changeBoardID(quint8 id);
    bool useRFSlates();   // ":AT1"
    bool disableSlates(); // ":AE"
    // ":AB" with the slate's stored PIN; Error_CommsFailure when the slate
    // is not registered.
    bool enableSlate(quint8 slateId);
    // ":VO" and forget every device (clearHub), the voting handsets
    // (clearHubOfVotes); clearHubOfSlates() disables the slates and forgets
    // them, whether or not ":AE" was taken.
    bool clearHub();
    bool clearHubOfVotes();
    bool clearHubOfSlates();
    // ":VE" whatever the session; nothing is saved. True with nothing sent
    // when no session runs; Error_NotConnected when disconnected.
    bool stopSession() override;

    // Registration. Handsets answer ":VR" and are added and reported by
    // voteDeviceRegistered(); stopping saves them. Slates answer ":AR" by
    // asking for a PIN (generatePinforSlateRegistration()); the host then
    // starts the PIN registration with a code of letters A to F, sent as the
    // digits 1 to 6 (0 for any other character), and a slate that echoes it
    // is added and reported by slateDeviceRegistered(); stopping the slate
    // registration saves them.
    bool startVoteRegistrationSession();
    bool stopVoteRegistrationSession();
    // A voting session without callback: test votes arrive as voteReceived().
    // Stopped with stopSession().
    bool startVoteTestSession();
    bool startSlateRegistrationSession();
    bool stopSlateRegistrationSession();
    bool startSlatePINRegistration(quint8 slateId, RegistrationCode code);
    // ":RD" with the 12-digit id, then forget and save.
    bool clearVoteWithID(quint64 deviceId);
    // Forget the slate, disable slates (":AE") and save.
    bool removeSlate(quint8 slateId);

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
    // ":VO", then ":VI" for each registered handset, each awaiting the
    // handset's enable reply; Error_CommsFailure when one does not answer or
    // another answers.
    bool preprocessOrvexvoteSession() override;

private:
    // 'A'..'F' to the legacy PIN digits '1'..'6'; any other character '0'.
    static char toLegacyPINChar(quint16 c);

    friend class LegacyHubPrivate;
    std::unique_ptr<LegacyHubPrivate> d;
};

} // namespace Orvexsystem

#endif
