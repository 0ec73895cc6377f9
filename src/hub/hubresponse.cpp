#include <orvexsystem/hubresponse.h>

#include "hub/responsehandler.h"

namespace Orvexsystem {

HubResponse::~HubResponse() = default;

IResponseHandler::~IResponseHandler() = default;

} // namespace Orvexsystem
