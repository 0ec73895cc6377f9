#ifndef ORVEXSYSTEM_SYSTEM_H
#define ORVEXSYSTEM_SYSTEM_H

#include <orvexsystem/displayinfo.h>
#include <orvexsystem/driverdeviceinfo.h>
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
class LegacyhubRegistrationSession;
class OrvexhubExpressionNamingSession;
class OrvexhubRegistrationSession;
class OrvexhubSlateNamingSession;
class OrvexhubVoteNamingSession;
class OrvexSystemPrivate;
class TwoPointFourGHzHub;

// The one object through which a host uses the library.
//
// Take it with instance(), call initialise(), work with the hubs it reports
// (getHubList(), the hub-connected callback or the signals), and call
// shutdown() at the end. The README's threading contract says on which
// thread every callback and signal arrives and what may be called there.
//
// Threads:
// - Hubs found by initialise() are announced on the calling thread before it
//   returns; hubs that arrive or leave later are announced on the system's
//   event thread. Every hub object lives in the thread that called
//   initialise(): run a Qt event loop there for the hubs' queued slots.
// - Packet reports (pen, touch, votes, ...) arrive on the driver's thread.
//   A hub operation that waits for a reply fails at once (Error_Failed)
//   when called there.
// - initialise() and shutdown() may be called from any host thread; they
//   take turns. shutdown() deletes every hub: finish the calls that use a
//   hub (hub operations, the display lists) before it. It ends every
//   exchange still waiting for a reply, so it never waits for a reply time
//   -out. getHubList() and the information maps may be called at any time.
// - shutdown() refuses (false) on the event thread, inside a driver callback
//   or an announcement (it would wait for itself), and on a thread that
//   holds the driver lock (false, Error_Failed: release it with
//   unlockDriver() first).
// - Destroying the system (at process exit) shuts it down first if the host
//   did not, so that the driver never calls into a destroyed object.
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

    // Kinds of deferred work for the event thread.
    enum EventType {
        Event_Discovery = 0,          // a plug-and-play notice: run discovery
        Event_AsyncPacket = 1,        // a packet of the message transport
        Event_GenericAsyncPacket = 2, // a device message of the generic session
        Event_ReadDeviceLists = 3     // re-read a hub's registered devices
    };

    // One unit of deferred work for the event thread.
    struct AsEvent
    {
        int type = Event_Discovery;
        QByteArray data; // the packet for Event_AsyncPacket, Event_GenericAsyncPacket
        Hub *hub = nullptr;
    };

    typedef void (*HubConnectedCallback)(Hub *hub, bool connected, void *context);

    // The tap: a view of all traffic between the library and the driver,
    // for tools that record a session (see docs/trace-format.md), monitor a
    // hub's protocol or diagnose a classroom. It is an addition of this
    // library; nothing in the library depends on it.
    enum TapEventKind {
        // A packet exactly as the driver delivered it (a driver's three-byte
        // prefix included), before the library looks at it, also when no
        // hub has its handle.
        Tap_Packet = 0,
        // A command the library wrote to a hub, and whether the driver
        // accepted it (a refused write is reported too).
        Tap_Write = 1,
        // Discovery read this hub's device record and took the hub in: a
        // hub seen for the first time, or one back after it had gone.
        Tap_HubReported = 2,
        // The driver no longer reports the hub.
        Tap_HubGone = 3
    };
    // One event seen by the tap: its kind, hub handle, time and bytes.
    struct TapEvent
    {
        TapEventKind kind = Tap_Packet;
        HubHandle_t handle = 0;
        // tapClockNs() when it happened; for a write, when it was handed to
        // the driver. Order events by this time: a reply that the driver
        // delivers while its command is still in the driver reaches the tap
        // before the command's own report does, with a later time.
        qint64 timeNs = 0;
        // Tap_Packet, Tap_Write: the bytes, valid only during the call.
        const quint8 *data = nullptr;
        quint32 length = 0;
        // Tap_Write: the driver accepted the write. Always true for packets.
        bool accepted = true;
        // Tap_HubReported: found by the discovery inside initialise(), so
        // present from the start; false for a hub that arrived (or came
        // back) later, after a plug-and-play notification.
        bool atStart = false;
        // Tap_HubReported: the driver's record, valid only during the call.
        const DriverDeviceInfo *record = nullptr;
    };
    // Runs on the thread where the event happens: Tap_Packet on the
    // driver's delivery thread (inside its packet callback, so waiting hub
    // operations fail there as in any packet report); Tap_Write on the
    // thread that wrote (a host thread, the event thread, or the delivery
    // thread for a command sent while a packet is handled); Tap_HubReported
    // and Tap_HubGone on the thread running discovery (the caller of
    // initialise(), later the event thread). A tap must return quickly and
    // must not wait for other threads: the packet path waits for it. It may
    // call setTapCallback().
    typedef void (*TapCallback)(const TapEvent &event, void *context);

    static OrvexSystem &instance();
    // 1.27.0 packed as major << 16 | minor << 8 | patch.
    static int getLibraryVersion();
    static QString errorAsString(Error error);

    bool initialise();
    bool shutdown();
    bool isDriverInstalled();
    // The driver's lock, held by one thread at a time around a run of
    // commands; re-entrant. On the driver's thread lockDriver() never waits:
    // it takes the lock only when it is free. unlockDriver() on a thread
    // that does not hold the lock does nothing.
    void lockDriver();
    void unlockDriver();
    Error getLastError() const;
    void asPostEvent(const AsEvent &event);
    void setHubConnectedCallback(HubConnectedCallback callback, void *context);

    // Writes one command to the hub; no reply is awaited.
    bool sendCommand(Hub *hub, const QByteArray &command);

    // Sets the tap (null clears it); may be called at any time, before
    // initialise() too, from any thread. When it returns, the tap it
    // replaced is neither running on another thread nor called again (a
    // call running on the calling thread itself, when a tap replaces
    // itself, is not waited for). Unset, the tap costs the packet path one
    // atomic load.
    void setTapCallback(TapCallback callback, void *context);
    // The clock of TapEvent::timeNs: a monotonic clock in nanoseconds.
    static qint64 tapClockNs();
    // The driver's device records of the hubs that discovery took in and
    // that are connected now, in handle order: what a recorder started
    // after initialise() writes as the hubs present. False (and nothing)
    // when the system is not initialised.
    bool getDriverRecords(QList<DriverDeviceInfo> &records) const;

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

    // Session façades: the registration and naming objects for one hub,
    // owned by the system. A start takes the handle of a connected hub of
    // the kind (2.4 GHz or virtual hubs for the four Orvexhub kinds, legacy
    // hubs for the last) and returns null when the system is not
    // initialised, the handle names no such hub, or a façade of the same
    // kind exists (also one whose hub is gone: stop it first). Façades of
    // different kinds may be open at once; each stop reaches its own.
    //
    // A stop ends the façade's session on its hub (the 2.4 GHz registration
    // façade: stopSession(); the naming façades: their naming session; the
    // legacy façade: nothing) and deletes the façade: the pointer is invalid
    // afterwards. An operation another thread is still inside finishes on
    // the implementation it took.
    //
    // When a façade's hub vanishes, or the system shuts down, the façade
    // stays valid and answers every operation with failure until the host
    // stops it; façades never stopped are freed with the system.
    const OrvexhubRegistrationSession *startOrvexhubRegistrationSession(int hubHandle);
    void stopOrvexhubRegistrationSession();
    const OrvexhubExpressionNamingSession *startOrvexhubExpressionNamingSession(int hubHandle);
    void stopOrvexhubExpressionNamingSession();
    const OrvexhubVoteNamingSession *startOrvexhubVoteNamingSession(int hubHandle);
    void stopOrvexhubVoteNamingSession();
    const OrvexhubSlateNamingSession *startOrvexhubSlateNamingSession(int hubHandle);
    void stopOrvexhubSlateNamingSession();
    const LegacyhubRegistrationSession *startLegacyhubRegistrationSession(int hubHandle);
    void stopLegacyhubRegistrationSession();

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
    // The hub object for a newly reported device, by the record's kind;
    // null for a kind that names no hub.
    virtual Hub *createHub(const DriverDeviceInfo &record);

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
