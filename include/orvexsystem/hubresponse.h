#ifndef ORVEXSYSTEM_HUBRESPONSE_H
#define ORVEXSYSTEM_HUBRESPONSE_H

#include <orvexsystem/export.h>

namespace Orvexsystem {

/// Base of every reply type. A reply type T provides a default constructor
/// (not valid), a constructor from a packet that parses it and sets the
/// validity flag, copy assignment, and `static bool isValid(const QByteArray&)`
/// that decides from length and control bytes alone whether a packet is a
/// reply of type T.
class ORVEXSYSTEM_EXPORT HubResponse
{
public:
    HubResponse() = default;
    HubResponse(const HubResponse &) = default;
    HubResponse &operator=(const HubResponse &) = default;
    virtual ~HubResponse();

    bool isValidResponse() const { return m_bValid; }

protected:
    bool m_bValid = false;
};

} // namespace Orvexsystem

#endif
