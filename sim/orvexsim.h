/*
 * Control interface of the simulated board driver.
 *
 * The simulated driver is a module named liborvexboardex.so that implements
 * the driver contract of <orvexsystem/orvexboardex.h> and, behind it, a
 * virtual classroom: hubs of every kind, the boards and handsets registered
 * with them, and the packets they send. The library loads it by bare name
 * exactly as it loads the hardware driver. A program that also links the
 * module (a test, the demo, an application developer's harness) shares the
 * same classroom and uses the functions below to set it up, to make the
 * hubs speak, to inspect what the library wrote and to inject faults.
 *
 * Conventions
 *  - Unless stated otherwise a function returns 0 on success and -1 when
 *    its arguments name no such hub or are invalid.
 *  - Texts are UTF-8. Wire fields that are ASCII or ISO 8859-1 receive '?'
 *    for characters they cannot hold; names are cut to the field's width.
 *  - Every function may be called from any thread. Packets and
 *    plug-and-play notifications are always made on the driver's single
 *    delivery thread, after the call that caused them has returned, in the
 *    order they were scheduled for each hub.
 *  - Functions that wait (orvexsim_wait_*) must not be called from inside a
 *    driver callback unless stated; orvexsim_reset must never be.
 *
 * The classroom that exists when nothing is configured ("default
 * classroom") is created by the first orvexAttach, orvexGetDeviceCount or
 * orvexEnumDeviceInfo, or explicitly by orvexsim_use_default_classroom:
 *
 *   handle 1  2.4 GHz hub (kind 3, USB), uid 0x0000000051C0A8E3,
 *             version 0x0301, name "Room 12"; registered:
 *             32 voting handsets  uids 0x06A10001..0x06A10020,
 *                                 addresses 0x0101..0x0120, names V01..V32
 *             8 expression handsets uids 0x09B20001..0x09B20005 and
 *                                 0x0CB20006..0x0CB20008 (top byte 0x0C),
 *                                 addresses 0x0201..0x0208
 *             4 slates            uids 0x07C30001..0x07C30004,
 *                                 addresses 0x0301..0x0304
 *             1 pen-expression    uid 0x0DD40001, address 0x0401
 *             1 board             uid 0x08E50001, address 0x0501,
 *                                 name "Board 12", version 912 (touch)
 *             waiting to register (not registered), PIN "ABC":
 *             4 voting handsets   uids 0x06A10021..0x06A10024,
 *                                 addresses 0x0121..0x0124, names V33..V36
 *   handle 2  legacy hub (kind 2, USB), uid 0x000000004C3B2A19,
 *             version 864, with a touch board; vote channel 1, slate
 *             channel 1, band 1, board id 12; waiting to register:
 *             4 voting handsets  ids 0x1A2B01..0x1A2B04, version 3
 *             1 slate            id 5
 *   driver version text "6.2.14.3"
 *   both boards: touch running, 4 touches supported.
 */
#ifndef ORVEXSIM_H
#define ORVEXSIM_H

#include <stdint.h>

#if defined(__GNUC__)
#define ORVEXSIM_API __attribute__((visibility("default")))
#else
#define ORVEXSIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Hub kinds, as in the device record. */
#define ORVEXSIM_KIND_LEGACY_1 1
#define ORVEXSIM_KIND_LEGACY_2 2
#define ORVEXSIM_KIND_RF 3
#define ORVEXSIM_KIND_VIRTUAL_RF 4

/* Connection types of legacy hubs. */
#define ORVEXSIM_CONNECTION_SERIAL 1
#define ORVEXSIM_CONNECTION_USB 2

/* Device classes: the one-byte product id of the 2.4 GHz wire. */
#define ORVEXSIM_CLASS_VOTE 0x06
#define ORVEXSIM_CLASS_SLATE 0x07
#define ORVEXSIM_CLASS_BOARD 0x08
#define ORVEXSIM_CLASS_EXPRESSION 0x09
#define ORVEXSIM_CLASS_VOTE_ALT 0x0A /* a voting handset listed with byte 8 = 10 */
#define ORVEXSIM_CLASS_PEN_EXPRESSION 0x0D

/* Handles of the default classroom. */
#define ORVEXSIM_DEFAULT_RF_HUB 1
#define ORVEXSIM_DEFAULT_LEGACY_HUB 2

/* Handle value that means "every hub, and hubs added later" where allowed. */
#define ORVEXSIM_ALL_HUBS 0
/* Handle value that means "summed over all handles" in call counts. */
#define ORVEXSIM_ANY_HANDLE INT32_MIN

/* ------------------------------------------------------------------------
 * Classroom set-up
 * ------------------------------------------------------------------------ */

/* Back to the unconfigured state: no hubs, no faults, no recorded writes or
 * counts, no callbacks, default timings and driver version. Waits for a
 * callback in progress and stops the delivery thread (it restarts when
 * needed). Returns -1, doing nothing, when called on the delivery thread. */
ORVEXSIM_API int orvexsim_reset(void);

/* Replaces all hubs by the default classroom described above. */
ORVEXSIM_API int orvexsim_use_default_classroom(void);

/* Marks the classroom as configured with no hubs at all, so that the default
 * classroom does not appear. Hubs can then be added one by one. */
ORVEXSIM_API int orvexsim_use_empty_classroom(void);

/* Adds a plugged hub. kind 1..4; handle must be non-zero and unused;
 * connectionType 1 serial, 2 USB (legacy hubs; reported unchanged for
 * others); version is the hub's version number; description is reported in
 * the device record (the virtual hub's server description), may be NULL.
 * Hubs of kind 3 and 4 get the 2.4 GHz hub model with no devices (a
 * virtual hub, kind 4, also answers ":GL", ":AE001" and ":AE002"), legacy
 * hubs the legacy model with no board. Marks the classroom configured and
 * sends a plug-and-play notification. */
ORVEXSIM_API int orvexsim_add_hub(int kind, int32_t handle, uint64_t uid, int connectionType,
                                  int version, const char *description);

/* Removes a hub for good (pending packets are lost); notifies. */
ORVEXSIM_API int orvexsim_remove_hub(int32_t handle);

/* Unplugs a hub: it leaves the device list, its pending packets and pen
 * stream are lost, writes to it fail; a plug-and-play notification follows.
 * Returns -1 if it was not plugged. */
ORVEXSIM_API int orvexsim_unplug_hub(int32_t handle);

/* Plugs an unplugged hub back in, with its state kept; notifies. */
ORVEXSIM_API int orvexsim_plug_hub(int32_t handle);

/* 1 plugged, 0 unplugged, -1 no such hub. */
ORVEXSIM_API int orvexsim_is_hub_plugged(int32_t handle);

/* Makes the device record of an existing hub report another kind (0 goes
 * back to the hub's own kind). The hub's behaviour does not change. Sends a
 * plug-and-play notification. */
ORVEXSIM_API int orvexsim_set_device_record_kind(int32_t handle, int kind);

/* When fails is non-zero, orvexEnumDeviceInfo refuses the record of this
 * hub (answers 0 and leaves the buffer alone). */
ORVEXSIM_API int orvexsim_set_enum_fails(int32_t handle, int fails);

/* Driver version text in every record (at most 19 UTF-16 units are kept). */
ORVEXSIM_API int orvexsim_set_driver_version(const char *text);

/* Sends one plug-and-play notification without changing anything. */
ORVEXSIM_API int orvexsim_notify_pnp(void);

/* When on is non-zero, every packet of this hub is delivered behind the
 * driver's three-byte prefix (byte 1 = 0x41), as some driver builds do. */
ORVEXSIM_API int orvexsim_set_prefix_packets(int32_t handle, int on);

/* ------------------------------------------------------------------------
 * Raw traffic
 * ------------------------------------------------------------------------ */

/* Delivers length bytes as a packet of this hub, as soon as the packets
 * already scheduled for it have gone. Fails if the hub is unplugged. */
ORVEXSIM_API int orvexsim_inject_packet(int32_t handle, const uint8_t *data, int length);

/* Schedules count copies of the packet back to back, as orvexsim_inject_packet
 * does for one, under a single lock: for floods and benchmarks. count 1..1000000. */
ORVEXSIM_API int orvexsim_inject_repeated(int32_t handle, const uint8_t *data, int length, int count);

/* Number of writes the hub received (refused writes are not received). */
ORVEXSIM_API int orvexsim_write_count(int32_t handle);

/* Copies write number index (0 = oldest) into buf, at most cap bytes;
 * returns the write's full length, or -1. */
ORVEXSIM_API int orvexsim_get_write(int32_t handle, int index, uint8_t *buf, int cap);

/* Forgets the hub's recorded writes. */
ORVEXSIM_API int orvexsim_clear_writes(int32_t handle);

/* Waits until a recorded write of the hub begins with the prefix bytes;
 * returns the index of the first such write, -1 on time-out. */
ORVEXSIM_API int orvexsim_wait_for_write(int32_t handle, const uint8_t *prefix, int prefixLength,
                                         int timeoutMs);

/* orvexsim_wait_for_write with the bytes of a C string, e.g. ":GI". */
ORVEXSIM_API int orvexsim_wait_for_command(int32_t handle, const char *text, int timeoutMs);

/* Waits until no packet or notification is scheduled (endless pen streams
 * aside) and no callback is running. 0 when idle, -1 on time-out or when
 * called on the delivery thread. */
ORVEXSIM_API int orvexsim_wait_idle(int timeoutMs);

/* Packets handed to this hub's packet callback so far; with handle 0 the
 * number of plug-and-play callbacks made. */
ORVEXSIM_API int orvexsim_delivered_count(int32_t handle);

/* ------------------------------------------------------------------------
 * What the library called
 * ------------------------------------------------------------------------ */

/* Number of calls of the contract function with this exact name (e.g.
 * "orvexSetCallback") for this handle. Functions without a handle count
 * under handle 0; ORVEXSIM_ANY_HANDLE sums over all handles. */
ORVEXSIM_API int orvexsim_call_count(const char *function, int32_t handle);

/* Waits until orvexsim_call_count(function, handle) >= atLeast; 0 or -1 on
 * time-out. */
ORVEXSIM_API int orvexsim_wait_for_call_count(const char *function, int32_t handle, int atLeast,
                                              int timeoutMs);

/* Values kept per handle by the pass-through functions. */
#define ORVEXSIM_SETTING_XFER_MASK 1          /* orvexSetXferMask */
#define ORVEXSIM_SETTING_TOUCH_REDIRECTION 2  /* orvexSet/GetTouchSystemRedirectionEnabled, default 1 */
#define ORVEXSIM_SETTING_LATE_DETECTION 3     /* orvexSet/GetLATEDetection, default 0 */
#define ORVEXSIM_SETTING_HID_REPORT_MODE 4    /* orvexSet/GetHIDCoordinateReportMode, default 0 */
#define ORVEXSIM_SETTING_POINTING_DESTINATION 5 /* per pen: mode of orvexSet/GetPointingDeviceDestination(Ex), default 0 */
#define ORVEXSIM_SETTING_POINTING_FLAG 6      /* per pen: the flag argument */
#define ORVEXSIM_SETTING_POINTING_EX_FLAG 7   /* per pen: last flag of the Ex form */
#define ORVEXSIM_SETTING_TOUCH_DESTINATION 8  /* orvexSet/GetTouchDestination(Ex), default 0 */
#define ORVEXSIM_SETTING_TOUCH_DESTINATION_FLAG 9 /* flag of orvexSetTouchDestinationEx */
#define ORVEXSIM_SETTING_TOUCH_ENABLED 10     /* orvexSet/GetTouchEnabled, default 1 */
#define ORVEXSIM_SETTING_SOMETHING_ON_BOARD 11 /* answer of orvexIsSomethingOnBoard, default 0 */

/* Last value the library set for the setting (pen selects the pen for the
 * per-pen settings and is ignored otherwise). Returns 0 and writes *value,
 * or -1 when the library never set it. */
ORVEXSIM_API int orvexsim_get_setting(int32_t handle, int setting, int pen, int32_t *value);

/* Fixes what the setting's getter answers for this handle (for per-pen
 * settings: for every pen), whatever the library sets. Without a fixed
 * answer a getter answers the last value set, else the default. */
ORVEXSIM_API int orvexsim_set_answer(int32_t handle, int setting, int32_t value);

/* Removes a fixed answer. */
ORVEXSIM_API int orvexsim_clear_answer(int32_t handle, int setting);

/* Touch data the library handed back through orvexSendTouchPacketToSystem:
 * count, and a copy of packet index (length returned, -1 if none). */
ORVEXSIM_API int orvexsim_touch_to_system_count(int32_t handle);
ORVEXSIM_API int orvexsim_get_touch_to_system(int32_t handle, int index, uint8_t *buf, int cap);

/* 1 while some thread holds orvexLock, else 0. */
ORVEXSIM_API int orvexsim_driver_lock_held(void);

/* ------------------------------------------------------------------------
 * Timing and faults
 * ------------------------------------------------------------------------ */

/* Time from a command's write to its first reply packet. Default 2000 us
 * (8000 us on serial legacy hubs). ORVEXSIM_ALL_HUBS sets every hub and the
 * default for hubs added later. */
ORVEXSIM_API int orvexsim_set_reply_delay_us(int32_t handle, int us);

/* Time a hub spends writing its permanent store before answering a clear
 * (":CS..") or a session end (":VE"). Default 150000 us. */
ORVEXSIM_API int orvexsim_set_flash_delay_us(int32_t handle, int us);

/* Gap between the packets of a reply that has several (list records).
 * Default 200 us. */
ORVEXSIM_API int orvexsim_set_packet_gap_us(int32_t handle, int us);

/* Faults, each set per hub with orvexsim_set_fault(handle, fault, value).
 * For the counted faults value is how many times the fault strikes:
 * N > 0 the next N times, -1 every time, 0 off. */
#define ORVEXSIM_FAULT_REFUSE_WRITES 1     /* counted: orvexWritePacket answers -1, nothing received */
#define ORVEXSIM_FAULT_DROP_REPLIES 2      /* counted per reply packet: the packet is lost */
#define ORVEXSIM_FAULT_DUPLICATE_REPLIES 3 /* counted per reply packet: delivered twice */
#define ORVEXSIM_FAULT_CORRUPT_REPLIES 4   /* counted per reply packet: every byte after the
                                              length byte is inverted */
#define ORVEXSIM_FAULT_DELAY_REPLIES 5     /* value: extra microseconds before each reply, 0 off */
#define ORVEXSIM_FAULT_TRUNCATE_REPLIES 6  /* value N > 0: a reply of more than N packets stops
                                              after N (the list's OK never comes); 0 off */
#define ORVEXSIM_FAULT_DETACH_MID_EXCHANGE 7 /* value non-zero: the next write is received,
                                              then the hub unplugs before it answers */

ORVEXSIM_API int orvexsim_set_fault(int32_t handle, int fault, int value);

/* Turns every fault of the hub off. */
ORVEXSIM_API int orvexsim_clear_faults(int32_t handle);

/* ------------------------------------------------------------------------
 * Boards: pens, touch, touch status, pen commands
 * ------------------------------------------------------------------------ */

/* Gives the hub a board. On a 2.4 GHz hub the board is a registered device
 * (listed by ":GR08", counted by ":GI" and ":GD08", cleared by ":CS08");
 * on a legacy hub uid, address and name are kept for information only.
 * version >= 850 means the board has touch. */
ORVEXSIM_API int orvexsim_add_board(int32_t handle, uint32_t uid, uint16_t address,
                                    const char *name, int version);

/* The board's touch status: statusByte is reported as is (5 running, 0
 * stopped; other values are legal on the wire), touchesSupported is the
 * count reported with it; answersQuery 0 makes the board ignore ":QT". */
ORVEXSIM_API int orvexsim_set_touch_status(int32_t handle, int statusByte, int touchesSupported,
                                           int answersQuery);

/* Sends an unsolicited touch-status report with the current status. */
ORVEXSIM_API int orvexsim_send_touch_status(int32_t handle);

/* One pen packet in the hub's form: the 8-byte form (pen 0..3), or the
 * 9-byte form on a serial legacy hub (pen 0..15; that form cannot carry
 * tip and barrel together: tip wins). x and y 0..65535. Needs a board. */
ORVEXSIM_API int orvexsim_inject_pen(int32_t handle, int pen, int x, int y, int tip, int barrel,
                                     int proximity);

/* One touch contact. */
typedef struct OrvexSimTouch {
  int id;     /* 0..127 */
  int x, y;   /* 0..65535 */
  int radius; /* 0..65535 */
  int status; /* non-zero: bit 7 of the id byte set (contact down) */
} OrvexSimTouch;

/* One touch packet (control 0x45) with count contacts, 0..36. Needs a
 * board with touch (version >= 850). */
ORVEXSIM_API int orvexsim_inject_touch(int32_t handle, const OrvexSimTouch *touches, int count);

/* Number of packets of one scripted stroke:
 *   3 moves in proximity, tip down, 20 moves with the tip down, tip up,
 *   barrel down, barrel up, out of proximity. */
#define ORVEXSIM_PEN_STROKE_PACKETS 28

/* Starts a scripted pen drawing strokes on the hub's board at rateHz
 * packets per second (1..5000), for packetCount packets (0 = until
 * stopped). Each stroke starts a little further right and down. Replaces a
 * stream already running on that hub. */
ORVEXSIM_API int orvexsim_start_pen_stream(int32_t handle, int pen, int rateHz, int packetCount);

/* Stops the hub's pen stream; no packet of it is delivered afterwards. */
ORVEXSIM_API int orvexsim_stop_pen_stream(int32_t handle);

/* The last pen type (":PK") and hardware mode (":PN") commanded for the pen
 * (the pen character's digit, usually 1..3): the value digit, or -1 when
 * none was received. */
ORVEXSIM_API int orvexsim_get_pen_type(int32_t handle, int pen);
ORVEXSIM_API int orvexsim_get_pen_hardware_mode(int32_t handle, int pen);

/* ------------------------------------------------------------------------
 * Legacy hubs (kinds 1 and 2)
 *
 * A legacy hub answers the legacy command set in the form of its
 * connection: the USB form, or the serial form (first byte 0x80 | length,
 * code in byte 2, 7 data bits per byte) on a hub added with connection
 * type 1. It keeps its radio settings and the handsets and slates within
 * its reach; the library keeps the list of registrations itself, so a test
 * that starts from a settings file adds the devices as registered.
 *
 * Handsets have ids 1..0x7FFFFF (USB) or 1..0x1FFFFF (serial) and a version
 * 0..127; slates have ids 1..63. A PIN is three digits 1..6, e.g. "314",
 * as the host sends it in ":AP" (A = 1 ... F = 6).
 * A hub added with orvexsim_add_hub starts with vote channel 1, slate
 * channel 1, band 1, board id 1, radio slates off and no devices.
 * ------------------------------------------------------------------------ */

/* Flags of orvexsim_legacy_handset_state and orvexsim_legacy_slate_state. */
#define ORVEXSIM_LEGACY_REGISTERED 1   /* tuned to the hub: a handset answers ":VI",
                                          a slate has its PIN */
#define ORVEXSIM_LEGACY_LISTENED 2     /* handset: the hub passes its key presses on
                                          (registered or ":VI" since the last ":VO");
                                          slate: enabled by ":AB" since the last ":AE" */
#define ORVEXSIM_LEGACY_WAITING 4      /* its learner pressed "register" */
#define ORVEXSIM_LEGACY_ASKED_PIN 8    /* slate: asked for a PIN, waits for ":AP" */
#define ORVEXSIM_LEGACY_SWITCHED_OFF 16 /* handset: switched off */

/* Sessions of orvexsim_legacy_session. */
#define ORVEXSIM_LEGACY_SESSION_NONE 0
#define ORVEXSIM_LEGACY_SESSION_VOTE_REGISTRATION 1  /* ":VR" */
#define ORVEXSIM_LEGACY_SESSION_SLATE_REGISTRATION 2 /* ":AR" */
#define ORVEXSIM_LEGACY_SESSION_SLATE_PIN 3          /* an ":AP" a slate heard */
#define ORVEXSIM_LEGACY_SESSION_VOTING_VB 4          /* ":VB" */
#define ORVEXSIM_LEGACY_SESSION_VOTING_VM 5          /* ":VM" */
#define ORVEXSIM_LEGACY_SESSION_PIN_NAMING 6         /* ":VZ" */

/* Sets the radio settings that ":VT" reports: channels and band 0..3,
 * board id 0..255 (0..127 on a serial hub). On band 2 ":VY" and ":AY" carry
 * the channel plus 3. Registrations are kept. */
ORVEXSIM_API int orvexsim_legacy_set_radio(int32_t handle, int voteChannel, int slateChannel, int band,
                                           int boardId);

/* Reads the radio settings (as changed by ":VY", ":AY", ":UR") and whether
 * radio slates are on (":AT1" on, ":AE" off); any pointer may be NULL. */
ORVEXSIM_API int orvexsim_legacy_get_radio(int32_t handle, int *voteChannel, int *slateChannel, int *band,
                                           int *boardId, int *rfSlates);

/* The hub's session (ORVEXSIM_LEGACY_SESSION_*), or -1. ":VE" ends every
 * session, ":AO" the slate sessions. */
ORVEXSIM_API int orvexsim_legacy_session(int32_t handle);

/* Puts a switched-on voting handset within the hub's reach. registered 0:
 * its learner has pressed "register", so it sends its registration reply
 * at the next ":VR" (at once if one runs) and is registered from then on;
 * registered 1: it was registered in an earlier lesson and answers ":VI".
 * Fails for a bad or duplicate id or version. */
ORVEXSIM_API int orvexsim_legacy_add_handset(int32_t handle, uint32_t id, int version, int registered);

/* Takes the handset away. */
ORVEXSIM_API int orvexsim_legacy_remove_handset(int32_t handle, uint32_t id);

/* Switches the handset on or off and sets its battery-low flag, which its
 * registration reply and its key presses carry. A switched-off handset
 * answers nothing and presses no key; switched on during ":VR" while
 * waiting, it registers at once. */
ORVEXSIM_API int orvexsim_legacy_set_handset(int32_t handle, uint32_t id, int switchedOn, int batteryLow);

/* The handset's learner presses "register" (again): it answers the next
 * ":VR", or at once if one runs, even when already registered. */
ORVEXSIM_API int orvexsim_legacy_press_register(int32_t handle, uint32_t id);

/* ORVEXSIM_LEGACY_* flags of the handset, or -1 when it is unknown. */
ORVEXSIM_API int orvexsim_legacy_handset_state(int32_t handle, uint32_t id);

/* Puts a slate within the hub's reach. registered 0: it asks for a PIN at
 * the next ":AR" (at once if one runs) and pin may be NULL; registered 1: it
 * was registered in an earlier lesson with pin. Fails for a bad or
 * duplicate id or PIN. */
ORVEXSIM_API int orvexsim_legacy_add_slate(int32_t handle, int slateId, int registered, const char *pin);

/* Takes the slate away. */
ORVEXSIM_API int orvexsim_legacy_remove_slate(int32_t handle, int slateId);

/* The slate's learner presses "register" (again): it asks for a PIN at the
 * next ":AR", or at once during slate registration. */
ORVEXSIM_API int orvexsim_legacy_press_slate_register(int32_t handle, int slateId);

/* What the slate's learner keys in when the host sends a PIN: pin (three
 * digits 1..6) whatever the host sent, so that the slate echoes a wrong PIN
 * and stays unregistered; NULL or "" goes back to keying in the host's PIN.
 * An ":AP" reaches a slate only when it names the slate, the hub's slate
 * channel and a PIN of digits 1..6, and the slate has asked for a PIN. */
ORVEXSIM_API int orvexsim_legacy_set_slate_typed_pin(int32_t handle, int slateId, const char *pin);

/* ORVEXSIM_LEGACY_* flags of the slate, or -1 when it is unknown. */
ORVEXSIM_API int orvexsim_legacy_slate_state(int32_t handle, int slateId);

/* The handset's learner presses key 1..6 (0: a key drawn from the hub's
 * generator). The handset sends the vote packet as many times as set by
 * orvexsim_legacy_set_vote_copies, a packet gap apart. Returns 0 when sent,
 * 1 when the hub passes nothing on (no voting session, the handset is
 * switched off or not listened to), -1 for an unknown handset or key or an
 * unplugged hub. The vote test uses the same packets. */
ORVEXSIM_API int orvexsim_legacy_vote(int32_t handle, uint32_t id, int key);

/* Every listened-to, switched-on handset presses key (0: each draws its own
 * key). The copies are interleaved: all first copies, then all second
 * copies, and so on. Returns the number of handsets that voted, or -1. */
ORVEXSIM_API int orvexsim_legacy_class_vote(int32_t handle, int key);

/* How many times a handset sends one key press: 1..20, default 3. */
ORVEXSIM_API int orvexsim_legacy_set_vote_copies(int32_t handle, int copies);

/* Seeds the hub's key generator (the same seed gives the same keys). */
ORVEXSIM_API int orvexsim_legacy_seed(int32_t handle, uint32_t seed);

/* During PIN naming (":VZ") a registered, switched-on handset keys in text:
 * up to three of 'A'..'F' and ' ', filling the last places (a shorter text
 * leaves digit 0 in the first places). Results as orvexsim_legacy_vote. */
ORVEXSIM_API int orvexsim_legacy_pin_naming(int32_t handle, uint32_t id, const char *text);

/* ------------------------------------------------------------------------
 * 2.4 GHz hubs (kinds 3 and 4)
 * ------------------------------------------------------------------------ */

/* Registers a device: class is one of ORVEXSIM_CLASS_*, uid unique on the
 * hub. Boards registered this way get version 850. Fails when the hub's
 * capacity for that class is used up. */
ORVEXSIM_API int orvexsim_register_device(int32_t handle, int deviceClass, uint32_t uid,
                                          uint16_t address, const char *name);

/* Removes a registered device (boards included). */
ORVEXSIM_API int orvexsim_remove_device(int32_t handle, uint32_t uid);

/* Whether the device is registered: 1, 0, or -1 for no such hub. */
ORVEXSIM_API int orvexsim_has_device(int32_t handle, uint32_t uid);

/* Registered devices of the class as ":GD" counts them (the voting class
 * includes ORVEXSIM_CLASS_VOTE_ALT); class 0 counts all. */
ORVEXSIM_API int orvexsim_device_count(int32_t handle, int deviceClass);

/* Hub name answered to ":GN" (cut to 10 bytes) and, on a virtual hub, to
 * ":GL" (n A3 and the name in ISO 8859-1, n its length, at most 255). */
ORVEXSIM_API int orvexsim_set_hub_name(int32_t handle, const char *name);

/* Capacities reported by ":GI" and enforced by orvexsim_register_device.
 * Defaults: 512 handsets (voting, expression, pen-expression), 4 boards,
 * 64 slates. */
ORVEXSIM_API int orvexsim_set_capacity(int32_t handle, int handsets, int boards, int slates);

/* Sets the hub's mode byte (0 idle; any other value busy, e.g. 0x01, 0x11,
 * 0x20). When it changes the hub sends 04 56 previous new. ":GI" reports it
 * in byte 10. */
ORVEXSIM_API int orvexsim_set_hub_mode(int32_t handle, int mode);

/* orvexsim_set_hub_mode with 0x01 (busy) or 0 (idle). */
ORVEXSIM_API int orvexsim_set_hub_busy(int32_t handle, int busy);

/* The hub's mode byte, or -1. */
ORVEXSIM_API int orvexsim_get_hub_mode(int32_t handle);

/* The hub resets: it sends 03 A0 00 and is idle afterwards (no state-change
 * packet). Registrations are kept. */
ORVEXSIM_API int orvexsim_reset_hub(int32_t handle);

/* The hub reports the device's battery as low: 08 50 uid(4) address(2).
 * The device must be registered. */
ORVEXSIM_API int orvexsim_report_low_battery(int32_t handle, uint32_t uid);

/* Copies the registered device's name (UTF-8, NUL-terminated, cut to cap)
 * into buf; returns the name's full length in bytes, or -1 when the device
 * is not registered. Names change when handsets or the host name them. */
ORVEXSIM_API int orvexsim_get_device_name(int32_t handle, uint32_t uid, char *buf, int cap);

/* ------------------------------------------------------------------------
 * 2.4 GHz handsets: how they behave
 *
 * Handsets act on their own: in a question session (":XP005") every
 * registered handset that can answer the kind answers; voting handsets
 * answer multiple choice, yes/no, true/false and Likert questions,
 * expression handsets every kind (numeric and text answers, message
 * acknowledgements, names in end-user naming). Slates, pen-expression
 * devices and boards answer nothing. On request (the functions of the next
 * section) handsets register, vote, report names and key PINs.
 *
 * Each action happens after a delay drawn from the handset's delay range,
 * plus the hub's reply delay, counted from the start of the session or from
 * the call that asked for it. An action belongs to the session in which it
 * was asked for: it is dropped if by its time ":VE", ":XP004", a second
 * ":XP005", a clear, a hub reset or an unplug has ended that session,
 * unless the handset's fault is ORVEXSIM_HANDSET_FAULT_LATE.
 *
 * Settings below take a uid, or ORVEXSIM_ALL_HANDSETS for every handset of
 * the hub; a value set for one handset wins over the value for all. A
 * setting may name a handset not (yet) registered. Random answers, keys,
 * names, PINs and delays come from a generator per hub, seeded with 1 when
 * the hub is added: the same calls after the same seed give the same
 * answers (their timing aside).
 * ------------------------------------------------------------------------ */

#define ORVEXSIM_ALL_HANDSETS 0u

/* Whether the handset answers (default 1). A handset that does not answer
 * takes no part in question sessions nor in actions asked of all handsets;
 * asked by its uid, it still acts. */
ORVEXSIM_API int orvexsim_set_handset_answers(int32_t handle, uint32_t uid, int answers);

/* The handset's chosen answer (UTF-8), or NULL for random answers (the
 * default). How each question kind reads it:
 *   multiple choice, sort in order: up to six answer bytes, e.g. "AC";
 *   yes/no, true/false: its first byte ('A' yes/true, 'B' no/false, any
 *     other byte "other");
 *   Likert: a decimal number, e.g. "4";
 *   numeric, text: the answer text, cut to the question's maximum size in
 *     bytes (one packet carries 5 bytes, every further packet 7);
 *   message: not read (an acknowledgement is 00);
 *   end-user naming and names in naming sessions: the name;
 *   votes: the key, 'A'-'F' or '1'-'6', when the vote names none;
 *   enhanced questions: as the question kinds above (multiple choice and
 *     sort in order: the bytes keyed as they stand, two zero bytes follow).
 * Random answers: multiple choice 1 to the allowed number of distinct
 * options in alphabetical order (in an enhanced question keyed in its
 * display form: digits 1-6, lower or upper case), sort in order a shuffle
 * of all options,
 * yes/no and true/false A or B (also C when the question's option bit is
 * set), Likert 1 to the scale, numbers and texts of a few bytes (texts
 * include non-ASCII characters), names from a list of first names (upper
 * case for character type 1, lower case for 2). */
ORVEXSIM_API int orvexsim_set_handset_answer(int32_t handle, uint32_t uid, const char *answer);

/* The handset's delay range in milliseconds, 0 <= minMs <= maxMs <= 600000
 * (default 500..4000; 0, 0 for fast tests). With ORVEXSIM_ALL_HUBS (uid
 * must then be ORVEXSIM_ALL_HANDSETS) it sets the range every hub starts
 * with, now and for hubs added later. */
ORVEXSIM_API int orvexsim_set_handset_delay_ms(int32_t handle, uint32_t uid, int minMs, int maxMs);

/* Radio faults of a handset, one at a time, for every transmission it
 * makes until changed (a transmission: one answer, one name report, one
 * registration, the presses of one vote, one device message in response
 * packets, one generic message). The transport's control packets
 * (get-message requests, data requests, releases) are never struck. */
#define ORVEXSIM_HANDSET_FAULT_NONE 0
#define ORVEXSIM_HANDSET_FAULT_LOSE_LAST 1    /* the last packet is lost (a one-packet
                                                 transmission is lost whole) */
#define ORVEXSIM_HANDSET_FAULT_OUT_OF_ORDER 2 /* the packets arrive last first */
#define ORVEXSIM_HANDSET_FAULT_DUPLICATE 3    /* the first packet arrives twice */
#define ORVEXSIM_HANDSET_FAULT_LATE 4         /* sent even after its session ended */
ORVEXSIM_API int orvexsim_set_handset_fault(int32_t handle, uint32_t uid, int fault);

/* Restarts the hub's generator with seed. */
ORVEXSIM_API int orvexsim_seed_handsets(int32_t handle, uint32_t seed);

/* Every handset setting of the hub back to its default (the seed and the
 * handsets waiting to register are kept). */
ORVEXSIM_API int orvexsim_clear_handset_settings(int32_t handle);

/* ------------------------------------------------------------------------
 * 2.4 GHz handsets: what their users do
 *
 * Each function returns how many handsets will act (0 or 1 when a uid is
 * given; uid ORVEXSIM_ALL_HANDSETS asks every handset concerned that
 * answers), or -1 when the hub is not a 2.4 GHz hub or the uid names no
 * registered handset (no waiting handset for the registration functions).
 * A handset acts only when the hub is in the session its action belongs
 * to; otherwise the result is 0 and nothing is sent.
 * ------------------------------------------------------------------------ */

/* A handset waiting to register (not registered): class one of
 * ORVEXSIM_CLASS_VOTE, _VOTE_ALT, _SLATE, _EXPRESSION, _PEN_EXPRESSION;
 * uid unique on the hub; name (UTF-8) is what its record will carry; pin
 * the three letters A-F its user keys, or NULL when it is not known yet
 * (orvexsim_set_waiting_pin gives it later; until then the handset
 * registers in no session). */
ORVEXSIM_API int orvexsim_add_waiting_handset(int32_t handle, int deviceClass, uint32_t uid, uint16_t address,
                                              const char *name, const char *pin);

/* The waiting handset's user keys its PIN. When the hub is in the
 * registration session of its class (":VR" voting handsets, ":SR" slates,
 * ":XP001" expression and pen-expression handsets) with that PIN and has
 * room, the hub registers it after its delay and reports it with its list
 * record (13, 20 or 23 bytes, as ":GR" lists it); from then on ":GI", ":GD"
 * and ":GR" count and list it. In a registration with naming the record
 * carries the name cut to the session's name length. */
ORVEXSIM_API int orvexsim_register_waiting(int32_t handle, uint32_t uid);

/* orvexsim_register_waiting for every waiting handset of the class
 * (ORVEXSIM_CLASS_VOTE includes _VOTE_ALT; 0 every class) that answers;
 * those whose PIN or class do not match the session stay waiting. */
ORVEXSIM_API int orvexsim_register_waiting_class(int32_t handle, int deviceClass);

/* Voting handsets press a key during a voting session (":VB" or ":VM"):
 * key 1-6, or 0 for the handset's chosen answer or else a random key;
 * presses 1-100 sends the key press that many times back to back, as a
 * handset repeats a press (the 2.4 GHz hub passes every one on); batteryLow
 * non-zero makes the hub report the battery (08 50 uid address) just
 * before. Each press is 09 65 uid(4) address(2) key, key the one-hot byte
 * 01, 02, 04, 08, 10, 20 of keys 1-6. */
ORVEXSIM_API int orvexsim_vote(int32_t handle, uint32_t uid, int key, int presses, int batteryLow);

/* Handsets report a name (UTF-8; NULL for the chosen answer or a random
 * name) in a naming session: voting handsets in vote naming (":VN"),
 * slates in slate naming (opened by ":NS"), expression and pen-expression
 * handsets in expression naming (":XP002") and end-user naming (":XP005"
 * kind 9). The name, cut to the field (4, 10 or 14 characters; the
 * session's name length in end-user naming), replaces the registered name
 * and comes as the device's list record. */
ORVEXSIM_API int orvexsim_report_name(int32_t handle, uint32_t uid, const char *name);

/* Voting handsets key a PIN in a PIN naming session (":VZ" count): pin of
 * at most four characters A-F or space, or NULL for count random letters
 * (count taken as 1..4). The hub reports 11 bytes: 0B 67 uid(4)
 * address(2), the PIN as four 3-bit codes (A = 1 ... F = 6, space 7, none
 * 0) in bits 3-1 of byte 8, bit 0 of byte 8 with bits 7-6 of byte 9, bits
 * 5-3 and bits 2-0 of byte 9, and a zero byte. */
ORVEXSIM_API int orvexsim_key_pin(int32_t handle, uint32_t uid, const char *pin);

/* ------------------------------------------------------------------------
 * 2.4 GHz hubs: device messages
 *
 * Asynchronous transport (kinds 3 and 4). ":XP00A" CR 00 opens it (OK;
 * ":VE", a clear, a reset or an unplug ends it). Expression handsets
 * (class 0x09) speak it:
 *   host -> handset  ":XP00B" CR 03 ah al i (OK): buffer i (1..255) holds
 *                    a message for the handset at address ah*256+al. The
 *                    handset sends the data request 03 85 i; the host
 *                    answers ":XP00C" CR L i n t f data (fragment n of t,
 *                    f <= 49 bytes, L = f + 4) or ":XP00C" CR 03 i 01 00 (no
 *                    message). The handset asks again, one request at a
 *                    time, until it has every fragment, then releases the
 *                    buffer: 03 86 i. A fragment answers the oldest data
 *                    request of its buffer and is heard by every handset
 *                    fetching that buffer. An unanswered request is not
 *                    repeated; a "no message" answer ends the fetch.
 *   handset -> host  get-message request 0C 84 ah al d0..d7; a message in
 *                    13-byte response packets: 0D 87 ah al count bytes 0-7,
 *                    then 0D 88 ah al p bytes 8p..8p+7 (p = 1, 2, ...), the
 *                    last padded with zero bytes.
 *
 * Enhanced question sessions run on it by themselves: when the transport
 * opens, every expression handset that answers (orvexsim_set_handset_answers)
 * and runs enhanced sessions (orvexsim_set_handset_enhanced) asks, after
 * its delay, for the session parameters (request 00 00 00 00 00 00 00 00).
 * A session parameters message (01 L ...) from the host makes it ask for
 * question 1 (01 00 01 00 00 00 00 00). A question message (02 L number
 * type option flags textLength answerLength text answer) is answered after
 * the handset's delay with its chosen or a random answer of the type, and
 * the handset then asks for the question number plus one:
 *   multiple choice, sort in order: the answer characters, then 00 00;
 *   yes/no, true/false: 'A' (yes, true), 'B' (no, false) or 'C';
 *   Likert: one byte, the value; numeric, text: the text.
 * "No more questions" (04 L text) ends its part; texts (03) and pop-ups
 * (05) are kept without an answer. A message whose length field disagrees
 * with its bytes is counted as malformed and not acted on.
 *
 * Generic messages (virtual hubs, kind 4). ":AE001" opens the generic
 * session (OK). ":AE002" CR ah al n2 n1 n0 message (OK) reaches the
 * registered device at that address (any class but boards), which answers
 * after its delay as orvexsim_set_generic_reply says, with the generic
 * packet 00 n2 n1 n0 E1 ah al message (n the message's length). Devices
 * also send generic messages on request (orvexsim_generic_send).
 *
 * The functions below that make a device act return 1 when it will, 0
 * when the hub is not in the session the action belongs to (or the
 * handset is switched off), -1 when the hub is not a 2.4 GHz hub, the uid
 * names no registered device that can, or an argument is invalid. Like
 * every action, a send happens after the device's delay plus the hub's
 * reply delay. Registration on a virtual hub is that of a 2.4 GHz hub; the
 * PIN its waiting handsets key can be set when it becomes known.
 * ------------------------------------------------------------------------ */

/* Whether the expression handset runs enhanced question sessions by
 * itself when the transport opens (default 1). A handset that does not
 * still fetches the host's messages and sends what it is asked to send. */
ORVEXSIM_API int orvexsim_set_handset_enhanced(int32_t handle, uint32_t uid, int on);

/* Ways a device answers the host's generic messages. */
#define ORVEXSIM_GENERIC_SILENT 0 /* no answer (default) */
#define ORVEXSIM_GENERIC_ECHO 1   /* the message comes back unchanged */
#define ORVEXSIM_GENERIC_FIXED 2  /* data, length bytes (0..65535; data may be NULL for 0) */
ORVEXSIM_API int orvexsim_set_generic_reply(int32_t handle, uint32_t uid, int mode, const uint8_t *data,
                                            int length);

/* The PIN (three letters A-F) the waiting handset's user keys from now on,
 * e.g. one handed out by a response server; ORVEXSIM_ALL_HANDSETS sets it
 * for every waiting handset of the hub. -1 when the uid names no waiting
 * handset or the PIN is not three letters A-F. */
ORVEXSIM_API int orvexsim_set_waiting_pin(int32_t handle, uint32_t uid, const char *pin);

/* The expression handset sends a get-message request with length (0..8)
 * bytes of device data, zero padded to 8. */
ORVEXSIM_API int orvexsim_async_request(int32_t handle, uint32_t uid, const uint8_t *data, int length);

/* The expression handset sends a message (0..2040 bytes) to the host in
 * response packets, struck by its radio fault. */
ORVEXSIM_API int orvexsim_async_send(int32_t handle, uint32_t uid, const uint8_t *data, int length);

/* As orvexsim_async_send, but the packets go exactly as order lists them
 * (count entries, each a packet number 0..packets-1, 0 being the 0x87
 * packet): {2, 1, 0} out of order, {0, 0, 1, 2} duplicated, {0, 2} with
 * packet 1 lost. The radio fault does not apply. count 1..1000. */
ORVEXSIM_API int orvexsim_async_send_packets(int32_t handle, uint32_t uid, const uint8_t *data, int length,
                                             const int *order, int count);

/* The expression handset is switched off (on 0) or on again (on 1) while
 * the transport is open. Off: it sends the request FF 00 00 00 00 00 00 00,
 * forgets what it was fetching or about to send, and stops fetching and
 * answering. On: it starts over (and asks for the session parameters if it
 * runs enhanced sessions). Opening the transport again switches every
 * handset on. 0 when it already is so. */
ORVEXSIM_API int orvexsim_async_switch(int32_t handle, uint32_t uid, int on);

/* The device sends a generic message (0..65535 bytes) to the host in the
 * generic session, struck by its radio fault. */
ORVEXSIM_API int orvexsim_generic_send(int32_t handle, uint32_t uid, const uint8_t *data, int length);

/* Where an expression handset stands in the transport and the enhanced
 * question protocol since the transport (or generic session) last opened. */
#define ORVEXSIM_ENHANCED_IDLE 0             /* not taking part, or the transport is closed */
#define ORVEXSIM_ENHANCED_WANTS_PARAMETERS 1 /* asked for the session parameters */
#define ORVEXSIM_ENHANCED_WANTS_QUESTION 2   /* asked for (or will ask for) question "question" */
#define ORVEXSIM_ENHANCED_FINISHED 3         /* received "no more questions" */
#define ORVEXSIM_ENHANCED_SWITCHED_OFF 4
typedef struct OrvexSimEnhancedState {
  int phase;        /* ORVEXSIM_ENHANCED_* */
  int question;     /* the number it asks for next */
  int answered;     /* questions answered (answers sent or on their way) */
  int lastAnswered; /* number of the last question answered, -1 none */
  int malformed;    /* messages from the host it could not read */
  int emptyFetches; /* fetches the host answered with "no message" */
} OrvexSimEnhancedState;

/* Fills *state; -1 when the hub is not a 2.4 GHz hub or the device has
 * taken no part in any transport or generic session yet. */
ORVEXSIM_API int orvexsim_get_enhanced_state(int32_t handle, uint32_t uid, OrvexSimEnhancedState *state);

/* Messages from the host that the device received whole (fetched through
 * the transport, or a generic message) since the transport or the generic
 * session last opened, oldest first: their number (0 for a device that
 * received none), and a copy of message index into buf, at most cap bytes
 * (its full length returned, -1 if there is no such message). */
ORVEXSIM_API int orvexsim_device_message_count(int32_t handle, uint32_t uid);
ORVEXSIM_API int orvexsim_get_device_message(int32_t handle, uint32_t uid, int index, uint8_t *buf, int cap);

/* Waits until the device has received at least count messages; 0, or -1
 * on time-out. */
ORVEXSIM_API int orvexsim_wait_device_messages(int32_t handle, uint32_t uid, int count, int timeoutMs);

/* ------------------------------------------------------------------------
 * Answer distributions
 * ------------------------------------------------------------------------ */

/* Random answers of one question kind, drawn with weights: kind 1-7 as the
 * question kinds of ":XP005" and of enhanced questions (1 multiple choice,
 * 2 yes/no, 3 true/false, 4 Likert, 5 numeric, 6 text, 7 sort in order),
 * or ORVEXSIM_DISTRIBUTION_VOTES for the keys of votes. weights lists
 * answer=weight pairs separated by commas, e.g. "A=50,B=30,C=20" or
 * "AC=1,B=3"; each answer is read as a chosen answer of that kind (see
 * orvexsim_set_handset_answer; votes: 'A'-'F' or '1'-'6'). Handsets with a
 * chosen answer keep it. NULL or "" removes the distribution. -1 when the
 * hub is not a 2.4 GHz hub, the kind is unknown or weights is malformed
 * (weights 1..1000000, at most 64 answers of at most 255 bytes without '='
 * or ','). */
#define ORVEXSIM_DISTRIBUTION_VOTES 0
ORVEXSIM_API int orvexsim_set_answer_distribution(int32_t handle, int kind, const char *weights);

/* ------------------------------------------------------------------------
 * Scenario files
 *
 * A scenario file describes a classroom in readable text: its hubs, their
 * devices, boards and names, and how the learners behave (answers and their
 * distribution, delays, who takes part, radio faults, hub faults). The
 * format is in sim/README.md ("Scenario files"); sim/scenarios/ holds
 * examples. When the environment variable ORVEXSIM_SCENARIO names a file at
 * the simulator's start (its first use in the process), that classroom
 * replaces the default classroom; a file that does not load leaves the
 * classroom empty and says why on standard error.
 * ------------------------------------------------------------------------ */

/* Replaces the classroom by the file's (as orvexsim_use_empty_classroom,
 * then the file's hubs and settings, each hub with its plug-and-play
 * notification).
 * Returns 0, or -1 with the reason, "line N: what", copied into error (at
 * most errorCap bytes with the NUL; error may be NULL). A file that fails
 * leaves the classroom empty. */
ORVEXSIM_API int orvexsim_load_scenario(const char *path, char *error, int errorCap);

/* The same, from the text itself. */
ORVEXSIM_API int orvexsim_load_scenario_text(const char *text, char *error, int errorCap);

/* ------------------------------------------------------------------------
 * Replay of a recorded trace
 *
 * A trace (docs/trace-format.md) holds the hubs of a recorded session and
 * every packet from them and every write to them, with their times. In
 * replay the simulator builds the trace's classroom (its hubs' device
 * records; no models: the hubs say only what the trace says) and plays the
 * events in order on its own thread:
 *  - a packet is delivered on the delivery thread at its recorded distance
 *    from the event before it, once the library has set the hub's packet
 *    callback;
 *  - a write is a synchronisation point: the replay waits until the library
 *    has made the same write to that hub (at most the write wait, default
 *    5000 ms, counted from the write's recorded time) before it goes on, and
 *    times the events after it from the moment it came. Writes compare
 *    byte for byte except the bytes the trace marks free ("~"), such as
 *    the random entity id of a question. A library write is matched to the
 *    earliest recorded write of its hub that it equals and that is neither
 *    matched nor given up; a write the trace recorded as refused is
 *    refused again (orvexWritePacket answers -1). A write the trace does
 *    not hold is accepted and counted as unexpected; a recorded write that
 *    does not come in time is given up, counted as missed, and the replay
 *    goes on;
 *  - plug and unplug events plug and unplug the hub (with a plug-and-play
 *    notification) once the packets before them are delivered. A hub whose
 *    first such event is a plug starts unplugged; every other hub is
 *    present from the start.
 * Writes to the hubs are recorded as usual (orvexsim_get_write, ...); the
 * faults of orvexsim_set_fault do not apply to them.
 * When the environment variable ORVEXSIM_REPLAY names a trace at the
 * simulator's start, the simulator replays it in place of the default
 * classroom (a trace that does not load leaves the classroom empty and
 * says why on standard error); ORVEXSIM_REPLAY_WAIT_MS sets the write
 * wait.
 * ------------------------------------------------------------------------ */

/* Stops a replay in progress, replaces the classroom by the trace's and
 * starts the replay. Returns 0, or -1 with "line N: what" in error (as
 * orvexsim_load_scenario), the classroom then unchanged. */
ORVEXSIM_API int orvexsim_replay_start(const char *path, char *error, int errorCap);

/* The longest wait for a recorded write, 1..3600000 ms; for the replay in
 * progress and those started later. */
ORVEXSIM_API int orvexsim_replay_set_write_wait_ms(int ms);

typedef struct OrvexSimReplayStatus {
  int active;           /* 1 from the start until every event is played and delivered */
  int events;           /* events in the trace */
  int played;           /* events the replay has gone past */
  int writesMatched;    /* recorded writes the library made again */
  int writesMissed;     /* recorded writes given up after the write wait */
  int writesUnexpected; /* library writes that matched no recorded write */
  int packetsDelivered; /* recorded packets handed to the library's callback */
} OrvexSimReplayStatus;

/* Fills *status (all zero when no replay was started since the reset). */
ORVEXSIM_API int orvexsim_replay_status(OrvexSimReplayStatus *status);

/* Waits until the replay has played every event and its packets have been
 * delivered and handled: 0, or -1 on time-out, when no replay was started,
 * or on the delivery thread. */
ORVEXSIM_API int orvexsim_replay_wait(int timeoutMs);

/* Stops the replay; the classroom stays as it is. */
ORVEXSIM_API int orvexsim_replay_stop(void);

#ifdef __cplusplus
}
#endif

#endif
