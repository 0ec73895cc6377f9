#ifndef ORVEXSYSTEM_SYSTEM_H
#define ORVEXSYSTEM_SYSTEM_H

#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/orvexboardex.h>

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QObject>

#include <memory>

namespace Orvexsystem {

class AbstractHardwareWrapper;
class Hub;
class OrvexSystemPrivate;
class TwoPointFourGHzHub;

// The one object through which a host uses the library.
//
// Take it with instance(), call initialise(), work with the hubs it reports
// (getHubList(), the hub-connected callback or the signals), and call
// shutdown() at the end.
//
// Threads:
// - Hubs found by initialise() are announced on the calling thread before it
//   returns; hubs that arrive or leave later are announced on the system's
//   event thread. Every hub object lives in the thread that called
//   initialise(): run a Qt event loop there for the hubs' timers (the
//   re-enumeration after a hub's registrations change) and queued slots.
// - Packet reports (pen, touch, votes, ...) arrive on the driver's thread.
// - shutdown() deletes every hub: finish the calls that use a hub (hub
//   operations, the display lists) before it, and call it on the thread
//   that called initialise(), where the hubs' timers run. getHubList() and
//   the information maps may be called at any time.
// - Destroying the system (at process exit) shuts it down first if the host
//   did not, so that the driver never calls into a destroyed object.
// - Do not call initialise() or shutdown() from a callback or a slot that
//   the library invokes on its event thread or on the driver's thread:
//   shutdown() refuses (false) there, as it would wait for itself.
class ORVEXSYSTEM_EXPORT OrvexSystem : public QObject
{
    Q_OBJECT
public:
    enum Error {
        Error_None = 0,
        Error_Failed = 1,
        Error_NotInitialised = 2,
        Error_DriverNotInstalled = 3,
        Error_BadPacketWrite = 4
    };
    Q_ENUM(Error)

    // One unit of deferred work for the event thread.
    struct AsEvent
    {
        int type = 0;    // 0 discovery, 1 async packet, 2 generic async packet, 3 list re-read
        QByteArray data; // the packet for types 1 and 2
        Hub *hub = nullptr;
    };

    typedef void (*HubConnectedCallback)(Hub *hub, bool connected, void *context);

    static OrvexSystem &instance();
    // 1.27.0 packed as major << 16 | minor << 8 | patch.
    static int getLibraryVersion();
    static QString errorAsString(Error error);

    bool initialise();
    bool shutdown();
    bool isDriverInstalled();
    void lockDriver();
    void unlockDriver();
    Error getLastError() const;
    void asPostEvent(const AsEvent &event);
    // Has the event thread re-read the hub's registered devices ms
    // milliseconds from now (an event of type 3). A later request for the
    // same hub restarts the wait; 0 cancels a pending one. Ignored while the
    // system is not initialised.
    void scheduleReenumeration(Hub *hub, int ms);
    void setHubConnectedCallback(HubConnectedCallback callback, void *context);

    // Writes one command to the hub; no reply is awaited.
    bool sendCommand(Hub *hub, const QByteArray &command);

    // Driver pass-through settings. Without a loaded driver they do nothing
    // and answer the driver's documented defaults.
    void setTouchSystemRedirectionEnabled(Hub *hub, bool enable);
    bool getTouchSystemRedirectionEnabled(Hub *hub);
    void setLATEDetection(Hub *hub, bool enable);
    bool getLATEDetection(Hub *hub);
    void setPenMode(Hub *hub, unsigned char mode);
    unsigned char getPenMode(Hub *hub);
    void setPenReportMode(Hub *hub, unsigned char pen, bool flag, unsigned char mode);
    void getPenReportMode(Hub *hub, unsigned char pen, unsigned char *mode);
    void setTouchReportMode(Hub *hub, unsigned char mode);
    void getTouchReportMode(Hub *hub, unsigned char *mode);
    bool sendTouchInfoToOS(Hub *hub, const unsigned char *data, unsigned char length);

    // Hub table views.
    bool getHubList(QList<Hub *> *list);
    bool getOrvexHubInfoMap(QMap<int, HubDisplayInfo> &map) const;
    bool getLegacyHubInfoMap(QMap<int, HubDisplayInfo> &map) const;
    bool getOrvexExpressionDisplayInfoList(HubHandle_t handle,
                                           QList<DeviceDisplayInfo> &list) const;
    bool getOrvexVoteDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list) const;
    bool getOrvexSlateDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list) const;
    bool getLegacyVoteDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list) const;
    bool getLegacySlateDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list) const;
    bool getDriverVersion(int *major, int *minor, int *build);

Q_SIGNALS:
    void newHubConnected(Orvexsystem::Hub *pHub);
    void hubDisconnected(Orvexsystem::Hub *pHub);
    void newOrvexHubConnected(Orvexsystem::HubHandle_t hubHandle);
    void orvexHubDisconnected(Orvexsystem::HubHandle_t hubHandle);
    void newLegacyHubConnected(Orvexsystem::HubHandle_t hubHandle);
    void legacyHubDisconnected(Orvexsystem::HubHandle_t hubHandle);
    void processPnpCallback();

protected:
    OrvexSystem();
    ~OrvexSystem() override;

    // Creates the driver binding on first use; false (and
    // Error_DriverNotInstalled) when the driver cannot be loaded.
    virtual bool initialiseOrvexWrapper();
    // Discovery: brings the hub table in line with what the driver reports.
    virtual void updateHubs();
    // The binding that initialiseOrvexWrapper() creates; the default loads
    // the driver module. The system owns the result.
    virtual AbstractHardwareWrapper *createWrapper();
    // The hub object for a newly reported device of the given kind (1, 2
    // legacy; 3 2.4 GHz; 4 virtual 2.4 GHz); null for other kinds.
    virtual Hub *createHub(int kind, HubHandle_t handle, quint64 uid, int connectionType,
                           int version, const QString &description);

    static void processPacketCallback(int32_t handle, const uint8_t *data, uint32_t length,
                                      void *context);

    bool isValidOrvexhubHandle(HubHandle_t handle) const;
    bool isValidLegacyhubHandle(HubHandle_t handle) const;

private:
    static void pnpCallback(void *context);
    void orvexsystemEventHandler();
    void recordError(Error error);
    void handleEvent(const AsEvent &event);
    // Tells the host that a hub came or went: the callback when set, else
    // the signal.
    void announce(Hub *hub, bool connected);
    // The hub under handle when the handle is in the chosen information map.
    Hub *findHub(HubHandle_t handle, bool orvexMap) const;
    bool orvexDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list,
                              Device::Type type) const;
    bool legacyDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list,
                               Device::Type type) const;

    friend class OrvexSystemPrivate;
    std::unique_ptr<OrvexSystemPrivate> d;
};

} // namespace Orvexsystem


#endif
