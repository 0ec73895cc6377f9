// The legacy hub's commands: radio settings, clears, registration, the
// voting preparation.

#include <orvexsystem/legacyhub.h>
#include <orvexsystem/registrationcode.h>

#include "legacy/legacyhub_p.h"
#include "legacy/legacyresponses.h"

namespace Orvexsystem {

namespace {

const char cmdRadioSettings[] = ":VT";
const char cmdVoteRegistration[] = ":VR";
const char cmdEndSession[] = ":VE";
const char cmdStopListening[] = ":VO";
const char cmdEnableVote[] = ":VI";
const char cmdVoteChannel[] = ":VY";
const char cmdSlateRegistration[] = ":AR";
const char cmdEndSlateRegistration[] = ":AO";
const char cmdSlatePin[] = ":AP";
const char cmdEnableSlate[] = ":AB";
const char cmdDisableSlates[] = ":AE";
const char cmdRadioSlates[] = ":AT";
const char cmdSlateChannel[] = ":AY";
const char cmdBoardId[] = ":UR";
const char cmdRemoveVote[] = ":RD";

// On RF band 2 the hub takes channels 3 higher.
const int ShiftedBand = 2;
const int BandChannelShift = 3;

} // namespace

QByteArray LegacyHubPrivate::command(const char *letters, const QByteArray &parameters)
{
    return QByteArray(letters) + parameters + Hub::chEndOfString;
}

QByteArray LegacyHubPrivate::twelveDigitId(quint64 id)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(12);
    for (int i = 0; i < 6; ++i) {
        const quint8 byte = quint8(id >> (8 * i));
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

QByteArray LegacyHubPrivate::twoDigits(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

char LegacyHub::toLegacyPINChar(quint16 c)
{
    return c >= 'A' && c <= 'F' ? char('1' + (c - 'A')) : '0';
}

// ---------------------------------------------------------------------------
// Radio settings

bool LegacyHub::configureHub()
{
    const QByteArray command = LegacyHubPrivate::command(cmdRadioSettings);
    if (d->isSerial()) {
        LegacySerialRFResponse reply;
        if (!sendAndWait(command, reply, m_nLegacySerialHubResponseMaximumWaitTime)) {
            recordError(Error_CommsFailure);
            return false;
        }
        d->slateChannel.store(reply.slateChannel());
        d->voteChannel.store(reply.voteChannel());
        d->boardId.store(reply.boardId());
        d->rfBand.store(reply.rfBand());
        return true;
    }
    if (d->isUsb()) {
        LegacyRFResponse reply;
        if (!sendAndWait(command, reply, responseWaitTime())) {
            recordError(Error_CommsFailure);
            return false;
        }
        d->slateChannel.store(reply.slateChannel());
        d->voteChannel.store(reply.voteChannel());
        d->boardId.store(reply.boardId());
        d->rfBand.store(reply.rfBand());
        // Slates work on channel 1 or 2 only.
        if (reply.slateChannel() != 1 && reply.slateChannel() != 2) {
            d->slateChannel.store(1);
            changeSlateChannel(1);
        }
        return true;
    }
    return true;
}

namespace {

bool known(const std::atomic<int> &value, quint8 &out)
{
    const int v = value.load();
    if (v == 0)
        return false;
    out = quint8(v);
    return true;
}

} // namespace

bool LegacyHub::getSlateChannel(quint8 &channel) { return known(d->slateChannel, channel); }
bool LegacyHub::getVoteChannel(quint8 &channel) { return known(d->voteChannel, channel); }
bool LegacyHub::getBoardID(quint8 &id) { return known(d->boardId, id); }
bool LegacyHub::getRFBand(quint8 &band) { return known(d->rfBand, band); }

bool LegacyHub::changeVoteChannel(quint8 channel)
{
    const bool shifted = d->rfBand.load() == ShiftedBand;
    const quint8 wire = shifted ? quint8(channel + BandChannelShift) : channel;
    if (!send(LegacyHubPrivate::command(cmdVoteChannel, QByteArray::number(wire))))
        return false;
    d->voteChannel.store(channel);
    return d->forgetAllDevices();
}

bool LegacyHub::changeSlateChannel(quint8 channel)
{
    const bool shifted = d->rfBand.load() == ShiftedBand;
    const quint8 wire = shifted ? quint8(channel + BandChannelShift) : channel;
    if (!send(LegacyHubPrivate::command(cmdSlateChannel, QByteArray::number(wire))))
        return false;
    d->slateChannel.store(channel);
    return d->forgetAllDevices();
}

bool LegacyHub::changeBoardID(quint8 id)
{
    if (!send(LegacyHubPrivate::command(cmdBoardId, LegacyHubPrivate::twoDigits(id))))
        return false;
    d->boardId.store(id);
    return d->forgetAllDevices();
}

bool LegacyHub::useRFSlates()
{
    return send(LegacyHubPrivate::command(cmdRadioSlates, "1"));
}

bool LegacyHub::disableSlates()
{
    return send(LegacyHubPrivate::command(cmdDisableSlates));
}

bool LegacyHub::enableSlate(quint8 slateId)
{
    QString pin;
    if (!d->lists.slatePin(slateId, &pin) || pin.isEmpty()) {
        recordError(Error_CommsFailure);
        return false;
    }
    return send(LegacyHubPrivate::command(cmdEnableSlate,
                                          LegacyHubPrivate::twoDigits(slateId).right(2)
                                              + pin.toLatin1()));
}

bool LegacyHub::clearHub()
{
    if (!send(LegacyHubPrivate::command(cmdStopListening)))
        return false;
    return d->forgetAllDevices();
}

bool LegacyHub::clearHubOfVotes()
{
    if (!send(LegacyHubPrivate::command(cmdStopListening)))
        return false;
    d->lists.retireVotes();
    return d->saved(d->writeDevicesInformation(true, false));
}

bool LegacyHub::clearHubOfSlates()
{
    // No command clears slates from the hub itself; a refused ":AE" does not
    // keep them.
    disableSlates();
    d->lists.retireSlates();
    return d->saved(d->writeDevicesInformation(false, true));
}

bool LegacyHub::stopSession()
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    if (sessionState() == Session_None)
        return true;
    if (!send(LegacyHubPrivate::command(cmdEndSession)))
        return false;
    setSessionState(Session_None);
    return true;
}

// ---------------------------------------------------------------------------
// Registration

bool LegacyHub::startVoteRegistrationSession()
{
    return sendInSession(LegacyHubPrivate::command(cmdVoteRegistration),
                         Session_VoteRegistration);
}

bool LegacyHub::stopVoteRegistrationSession()
{
    if (!send(LegacyHubPrivate::command(cmdEndSession)))
        return false;
    const bool ok = d->writeDevicesInformation(true, false);
    setSessionState(Session_None);
    return d->saved(ok);
}

bool LegacyHub::startVoteTestSession()
{
    if (!startVotingSession(VotingMode_VB, nullptr, nullptr))
        return false;
    setSessionState(Session_VoteTest);
    return true;
}

bool LegacyHub::startSlateRegistrationSession()
{
    return sendInSession(LegacyHubPrivate::command(cmdSlateRegistration),
                         Session_SlateRegistration);
}

bool LegacyHub::stopSlateRegistrationSession()
{
    if (!send(LegacyHubPrivate::command(cmdEndSlateRegistration)))
        return false;
    const bool ok = d->writeDevicesInformation(false, true);
    setSessionState(Session_None);
    return d->saved(ok);
}

bool LegacyHub::startSlatePINRegistration(quint8 slateId, RegistrationCode code)
{
    QByteArray pin;
    pin += toLegacyPINChar(code.char1());
    pin += toLegacyPINChar(code.char2());
    pin += toLegacyPINChar(code.char3());
    // In place before the command leaves, so that no echo can come first.
    d->setSlatePin(QString::fromLatin1(pin));
    const QByteArray command = LegacyHubPrivate::command(
        cmdSlatePin, LegacyHubPrivate::twoDigits(slateId)
                         + QByteArray::number(d->slateChannel.load()) + pin);
    return sendInSession(command, Session_SlatePINRegistration);
}

bool LegacyHub::clearVoteWithID(quint64 deviceId)
{
    if (!send(LegacyHubPrivate::command(cmdRemoveVote, LegacyHubPrivate::twelveDigitId(deviceId))))
        return false;
    d->lists.retireVote(deviceId);
    return d->saved(d->writeDevicesInformation(true, false));
}

bool LegacyHub::removeSlate(quint8 slateId)
{
    d->lists.retireSlate(slateId);
    disableSlates();
    return d->saved(d->writeDevicesInformation(false, true));
}

// ---------------------------------------------------------------------------
// Voting

bool LegacyHub::preprocessOrvexvoteSession()
{
    if (!send(LegacyHubPrivate::command(cmdStopListening)))
        return false;
    // Every registered handset is listened to again, one reply at a time.
    const QList<quint32> ids = d->lists.voteIds();
    for (quint32 id : ids) {
        const QByteArray command =
            LegacyHubPrivate::command(cmdEnableVote, LegacyHubPrivate::twelveDigitId(id));
        quint32 answered = 0;
        if (d->isUsb()) {
            LegacyUsbEnableVoteResponse reply;
            if (!sendAndWait(command, reply, responseWaitTime())) {
                recordError(Error_CommsFailure);
                return false;
            }
            answered = reply.deviceId();
        } else if (d->isSerial()) {
            LegacySerialEnableVoteResponse reply;
            if (!sendAndWait(command, reply, m_nLegacySerialHubResponseMaximumWaitTime)) {
                recordError(Error_CommsFailure);
                return false;
            }
            answered = reply.deviceId();
        } else {
            return false;
        }
        if (answered != id) {
            recordError(Error_CommsFailure);
            return false;
        }
    }
    return true;
}

} // namespace Orvexsystem
