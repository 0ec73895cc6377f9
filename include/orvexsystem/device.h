#ifndef ORVEXSYSTEM_DEVICE_H
#define ORVEXSYSTEM_DEVICE_H

#include <orvexsystem/export.h>

#include <QtCore/QAtomicInt>
#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QString>


namespace Orvexsystem {

class Hub;

// One response device or board known to a hub. Hubs create, own and delete
// devices; a pointer handed to the host stays valid until the hub rebuilds
// the list that holds it, or the hub is disconnected or destroyed.
class ORVEXSYSTEM_EXPORT Device : public QObject
{
    Q_OBJECT
public:
    enum Type {
        Type_LegacyOrvexboard = 0,
        Type_Legacyslate = 1,
        Type_LegacyOrvexvote = 2,
        Type_TwoPointFourGHzOrvexSlate = 3,
        Type_TwoPointFourGHzOrvexvote = 4,
        Type_TwoPointFourGHzOrvexexpression = 5,
        Type_TwoPointFourGHzOrvexboard = 6,
        Type_PenExpression = 8
    };

    enum SubType { SubType_None = 0, SubType_Expression = 1, SubType_Expression0C = 2 };
    Q_ENUM(SubType)

    Device(Hub *hub, unsigned int uid, unsigned short address);
    ~Device() override;

    virtual QString name() const;
    virtual Type type() const = 0;
    virtual SubType subType() const;
    virtual bool isOfType(Type t) const = 0;
    virtual bool enableRemoteControl();
    virtual bool disableRemoteControl();

    unsigned int uid() const { return m_uid; }
    unsigned short address() const { return m_address; }
    Hub *hub() const { return m_pHub; }
    bool isConnected() { return m_bConnected.loadAcquire() != 0; }
    // Emits connected() or disconnected() when the flag changes.
    void setConnected(bool c);

Q_SIGNALS:
    void connected(Device *pDevice);
    void disconnected(Device *pDevice);

private:
    unsigned int m_uid;
    Hub *m_pHub;
    QAtomicInt m_bConnected;
    unsigned short m_address;
};

// A board (with its pens) connected through a legacy hub.
class ORVEXSYSTEM_EXPORT LegacyOrvexboard : public Device
{
    Q_OBJECT
public:
    LegacyOrvexboard(Hub *hub, unsigned int uid);
    Type type() const override { return Type_LegacyOrvexboard; }
    bool isOfType(Type t) const override { return t == type(); }
};

// A slate registered with a legacy hub; pinText() is the PIN it registered
// with.
class ORVEXSYSTEM_EXPORT Legacyslate : public Device
{
    Q_OBJECT
public:
    Legacyslate(Hub *hub, unsigned int uid, QString pin);
    Type type() const override { return Type_Legacyslate; }
    bool isOfType(Type t) const override { return t == type(); }
    QString pinText() const { return m_strPin; }

private:
    QString m_strPin;
};

// A voting handset registered with a legacy hub.
class ORVEXSYSTEM_EXPORT LegacyOrvexvote : public Device
{
    Q_OBJECT
public:
    LegacyOrvexvote(Hub *hub, unsigned int uid);
    Type type() const override { return Type_LegacyOrvexvote; }
    bool isOfType(Type t) const override { return t == type(); }

private:
    QByteArray m_data;
};

// Shared members of the devices registered with a 2.4 GHz hub: the name kept
// in the hub and the 12-character identity used to address the device.
// It has no meta-object of its own, so a class derived from it without one
// reports Device's.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzDevice : public Device
{
public:
    TwoPointFourGHzDevice(Hub *hub, unsigned int uid, unsigned short address, QString name,
                          const QByteArray &hexId);
    QString name() const override { return m_strName; }
    QByteArray hexId() const { return m_hexId; }

private:
    QString m_strName;
    QByteArray m_hexId;
};

// A slate registered with a 2.4 GHz hub.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzOrvexSlate : public TwoPointFourGHzDevice
{
    // No meta-object of its own: it reports Device's class name.
public:
    TwoPointFourGHzOrvexSlate(Hub *hub, unsigned int uid, unsigned short address, QString name,
                              const QByteArray &hexId);
    Type type() const override { return Type_TwoPointFourGHzOrvexSlate; }
    bool isOfType(Type t) const override { return t == type(); }
};

// A voting handset registered with a 2.4 GHz hub.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzOrvexvote : public TwoPointFourGHzDevice
{
    Q_OBJECT
public:
    TwoPointFourGHzOrvexvote(Hub *hub, unsigned int uid, unsigned short address, QString name,
                             const QByteArray &hexId);
    Type type() const override { return Type_TwoPointFourGHzOrvexvote; }
    bool isOfType(Type t) const override { return t == type(); }
};

// An expression handset registered with a 2.4 GHz hub; subType() tells
// which model it is.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzOrvexexpression : public TwoPointFourGHzDevice
{
    Q_OBJECT
public:
    TwoPointFourGHzOrvexexpression(Hub *hub, unsigned int uid, unsigned short address,
                                   QString name, const QByteArray &hexId);
    Type type() const override { return Type_TwoPointFourGHzOrvexexpression; }
    bool isOfType(Type t) const override { return t == type(); }
    SubType subType() const override { return m_eSubType; }

protected:
    SubType m_eSubType;
};

// A pen-expression device registered with a 2.4 GHz hub.
class ORVEXSYSTEM_EXPORT PenExpression : public TwoPointFourGHzOrvexexpression
{
    Q_OBJECT
public:
    PenExpression(Hub *hub, unsigned int uid, unsigned short address, QString name,
                  const QByteArray &hexId);
    Type type() const override { return Type_PenExpression; }
    bool isOfType(Type t) const override { return t == type(); }
};

} // namespace Orvexsystem

#endif
