#ifndef ORVEXSYSTEM_LEGACY_LEGACYHUB_P_H
#define ORVEXSYSTEM_LEGACY_LEGACYHUB_P_H

#include <orvexsystem/legacyhub.h>

#include "hub/hub_p.h"
#include "legacy/legacydevicelists.h"
#include "legacy/legacysettingsfile.h"

#include <QtCore/QString>

#include <atomic>
#include <memory>
#include <mutex>

namespace Orvexsystem {

class LegacyHubPrivate
{
public:
    LegacyHubPrivate(LegacyHub *hub, int connectionType, bool hasBoard, int version);

    static LegacyHubPrivate *get(LegacyHub *hub) { return hub->d.get(); }

    bool isSerial() const { return connectionType == Hub::ConnectionType_Serial; }
    bool isUsb() const { return connectionType == Hub::ConnectionType_Usb; }

    // The settings file: reads one list into place, writes the lists named.
    // Each write is a snapshot of the lists taken under writeMutex, so that
    // writes reach the file in the order the lists changed.
    // With onlyIfEmpty a list that is no longer empty when the file has been
    // read is kept: the read fills an empty list, it does not undo a
    // registration that arrived meanwhile.
    bool readDevicesInformation(Device::Type type, bool onlyIfEmpty = false);
    bool writeDevicesInformation(bool votes, bool slates);

    // After a change of channel or board id: disable the slates, forget every
    // device and save. False (with Error_Failed) when the file was not saved.
    bool forgetAllDevices();
    // Records Error_Failed for an operation whose change could not be saved.
    bool saved(bool ok);

    // A command of two letters and parameters, ended by CR.
    static QByteArray command(const char *letters, const QByteArray &parameters = QByteArray());
    // Six bytes of the id, least significant first, two upper-case
    // hexadecimal digits each.
    static QByteArray twelveDigitId(quint64 id);
    // Decimal, with a leading zero up to two digits.
    static QByteArray twoDigits(int value);

    QString slatePin() const;
    void setSlatePin(const QString &pin);

    LegacyHub *const q;
    const Hub::ConnectionType connectionType;
    const bool hasBoard;
    const bool supportsRegistration;
    const bool hasQX5Board;
    const int penCount;
    const QString settingsGroup;
    std::unique_ptr<LegacyOrvexboard> board;
    LegacyDeviceLists lists;

    // Radio settings; 0 while unknown.
    std::atomic<int> slateChannel{0};
    std::atomic<int> voteChannel{0};
    std::atomic<int> boardId{0};
    std::atomic<int> rfBand{0};

private:
    mutable std::mutex m_pinMutex;
    QString m_strSlatePIN; // the PIN of the slate PIN registration running
    std::mutex m_writeMutex;
};

} // namespace Orvexsystem

#endif
